// Binary records exchanged with a VST 2 host, declared once, field by field.
// Fields that hold pointers are pointer-sized; the static_asserts pin both the
// 32-bit and the 64-bit Windows layout that hosts read directly.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

using VstInt16 = std::int16_t;
using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

constexpr bool kVst32BitLayout = sizeof(void*) == 4;
constexpr bool kVst64BitLayout = sizeof(void*) == 8;

struct AEffect;

// Host callback: the host answers requests the plug-in sends it.
using audioMasterCallback = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode,
                                                    VstInt32 index, VstIntPtr value, void* ptr,
                                                    float opt);

using AEffectDispatcherProc = VstIntPtr(VSTCALLBACK*)(AEffect* effect, VstInt32 opcode,
                                                      VstInt32 index, VstIntPtr value, void* ptr,
                                                      float opt);
using AEffectProcessProc = void(VSTCALLBACK*)(AEffect* effect, float** inputs, float** outputs,
                                              VstInt32 sampleFrames);
using AEffectSetParameterProc = void(VSTCALLBACK*)(AEffect* effect, VstInt32 index,
                                                   float parameter);
using AEffectGetParameterProc = float(VSTCALLBACK*)(AEffect* effect, VstInt32 index);

// Multi-character constants: first character in the most significant byte.
constexpr VstInt32 fourCharCode(char a, char b, char c, char d) {
  return static_cast<VstInt32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                               static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr VstInt32 kEffectMagic = fourCharCode('V', 's', 't', 'P');
static_assert(kEffectMagic == 0x56737450, "magic");

// The effect record the host reads and calls (144 bytes on 32-bit hosts).
struct AEffect {
  VstInt32 magic;
  AEffectDispatcherProc dispatcher;
  AEffectProcessProc process;
  AEffectSetParameterProc setParameter;
  AEffectGetParameterProc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  AEffectProcessProc processReplacing;
  char future[60];
};

// Capability flags of AEffect::flags.
enum VstAEffectFlags : VstInt32 {
  effFlagsHasEditor = 1,
  effFlagsHasClip = 2,
  effFlagsHasVu = 4,
  effFlagsCanMono = 8,
  effFlagsCanReplacing = 16,
  effFlagsProgramChunks = 32,
  effFlagsIsSynth = 256,
  effFlagsNoSoundInStop = 512,
  effFlagsExtIsAsync = 1024,
  effFlagsExtHasBuffer = 2048,
};

// Editor rectangle handed to the host (8 bytes).
struct ERect {
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};

// Key code record built by the dispatcher for the editor key opcodes (8 bytes).
struct VstKeyCode {
  VstInt32 character;
  std::uint8_t virt;
  std::uint8_t modifier;
  std::uint8_t padding[2];
};

// One speaker of an arrangement (112 bytes).
struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[64];
  VstInt32 type;
  char future[28];
};

// Header of a speaker arrangement; numChannels VstSpeakerProperties follow it
// directly, so the block is 8 + 112 * numChannels bytes. speakers[] is
// declared with 8 entries as hosts declare it; index it through speakerAt()
// because a block may hold more or fewer records.
struct VstSpeakerArrangement {
  VstInt32 type;
  VstInt32 numChannels;
  VstSpeakerProperties speakers[8];
};

constexpr std::size_t kSpeakerArrangementHeaderSize = 8;

inline std::size_t speakerArrangementSize(VstInt32 numChannels) {
  return kSpeakerArrangementHeaderSize +
         sizeof(VstSpeakerProperties) * static_cast<std::size_t>(numChannels);
}

inline VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 index) {
  auto* bytes = reinterpret_cast<unsigned char*>(arrangement) + kSpeakerArrangementHeaderSize;
  return reinterpret_cast<VstSpeakerProperties*>(bytes) + index;
}

// Properties of one input or output pin (128 bytes).
struct VstPinProperties {
  char label[64];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[8];
  char future[48];
};

enum VstPinPropertiesFlags : VstInt32 {
  kVstPinIsActive = 1,
  kVstPinIsStereo = 2,
};

enum VstSpeakerArrangementType : VstInt32 {
  kSpeakerArrMono = 0,
  kSpeakerArrStereo = 1,
};

enum VstPlugCategory : VstInt32 {
  kPlugCategUnknown = 0,
  kPlugCategEffect = 1,
  kPlugCategSynth = 2,
};

// One event of a VstEvents block (32 bytes); MIDI events keep their four data
// bytes at offset 24, which is all the bridge reads of any event.
struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};

struct VstMidiEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  VstInt32 noteLength;
  VstInt32 noteOffset;
  char midiData[4];
  char detune;
  char noteOffVelocity;
  char reserved1;
  char reserved2;
};

enum VstEventTypes : VstInt32 {
  kVstMidiType = 1,
  kVstSysExType = 6,
};

// Block of events handed over by effProcessEvents: a count, then that many
// event pointers (declared with 2 as hosts declare it).
struct VstEvents {
  VstInt32 numEvents;
  VstIntPtr reserved;
  VstEvent* events[2];
};

// Host time information; the plug-in reads only the tempo.
struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};

enum VstTimeInfoFlags : VstInt32 {
  kVstTempoValid = 1 << 10,
};

// Records the plug-in layer only passes through by address.
struct VstPatchChunkInfo;
struct VstWindow;
struct VstFileSelect;
struct VstVariableIo;
struct VstParameterProperties;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstAudioFile;
struct VstOfflineTask;

// --- 32-bit layout pins -------------------------------------------------------
#define KEL_PIN32(type, field, offset) \
  static_assert(!kVst32BitLayout || offsetof(type, field) == (offset), #type "::" #field)

static_assert(!kVst32BitLayout || sizeof(AEffect) == 144, "AEffect size");
KEL_PIN32(AEffect, magic, 0);
KEL_PIN32(AEffect, dispatcher, 4);
KEL_PIN32(AEffect, process, 8);
KEL_PIN32(AEffect, setParameter, 12);
KEL_PIN32(AEffect, getParameter, 16);
KEL_PIN32(AEffect, numPrograms, 20);
KEL_PIN32(AEffect, numParams, 24);
KEL_PIN32(AEffect, numInputs, 28);
KEL_PIN32(AEffect, numOutputs, 32);
KEL_PIN32(AEffect, flags, 36);
KEL_PIN32(AEffect, resvd1, 40);
KEL_PIN32(AEffect, resvd2, 44);
KEL_PIN32(AEffect, initialDelay, 48);
KEL_PIN32(AEffect, realQualities, 52);
KEL_PIN32(AEffect, offQualities, 56);
KEL_PIN32(AEffect, ioRatio, 60);
KEL_PIN32(AEffect, object, 64);
KEL_PIN32(AEffect, user, 68);
KEL_PIN32(AEffect, uniqueID, 72);
KEL_PIN32(AEffect, version, 76);
KEL_PIN32(AEffect, processReplacing, 80);
KEL_PIN32(AEffect, future, 84);

#define KEL_PIN64(type, field, offset) \
  static_assert(!kVst64BitLayout || offsetof(type, field) == (offset), #type "::" #field)

static_assert(!kVst64BitLayout || sizeof(AEffect) == 192, "AEffect size");
KEL_PIN64(AEffect, magic, 0);
KEL_PIN64(AEffect, dispatcher, 8);
KEL_PIN64(AEffect, process, 16);
KEL_PIN64(AEffect, setParameter, 24);
KEL_PIN64(AEffect, getParameter, 32);
KEL_PIN64(AEffect, numPrograms, 40);
KEL_PIN64(AEffect, numParams, 44);
KEL_PIN64(AEffect, numInputs, 48);
KEL_PIN64(AEffect, numOutputs, 52);
KEL_PIN64(AEffect, flags, 56);
KEL_PIN64(AEffect, resvd1, 64);
KEL_PIN64(AEffect, resvd2, 72);
KEL_PIN64(AEffect, initialDelay, 80);
KEL_PIN64(AEffect, realQualities, 84);
KEL_PIN64(AEffect, offQualities, 88);
KEL_PIN64(AEffect, ioRatio, 92);
KEL_PIN64(AEffect, object, 96);
KEL_PIN64(AEffect, user, 104);
KEL_PIN64(AEffect, uniqueID, 112);
KEL_PIN64(AEffect, version, 116);
KEL_PIN64(AEffect, processReplacing, 120);
KEL_PIN64(AEffect, future, 128);

static_assert(sizeof(ERect) == 8, "ERect size");
static_assert(offsetof(ERect, top) == 0 && offsetof(ERect, left) == 2 &&
                  offsetof(ERect, bottom) == 4 && offsetof(ERect, right) == 6,
              "ERect offsets");

static_assert(sizeof(VstKeyCode) == 8, "VstKeyCode size");
static_assert(offsetof(VstKeyCode, character) == 0 && offsetof(VstKeyCode, virt) == 4 &&
                  offsetof(VstKeyCode, modifier) == 5,
              "VstKeyCode offsets");

static_assert(sizeof(VstSpeakerProperties) == 112, "VstSpeakerProperties size");
static_assert(offsetof(VstSpeakerProperties, azimuth) == 0 &&
                  offsetof(VstSpeakerProperties, elevation) == 4 &&
                  offsetof(VstSpeakerProperties, radius) == 8 &&
                  offsetof(VstSpeakerProperties, reserved) == 12 &&
                  offsetof(VstSpeakerProperties, name) == 16 &&
                  offsetof(VstSpeakerProperties, type) == 80 &&
                  offsetof(VstSpeakerProperties, future) == 84,
              "VstSpeakerProperties offsets");

static_assert(offsetof(VstSpeakerArrangement, type) == 0 &&
                  offsetof(VstSpeakerArrangement, numChannels) == 4 &&
                  offsetof(VstSpeakerArrangement, speakers) == kSpeakerArrangementHeaderSize,
              "VstSpeakerArrangement offsets");

static_assert(sizeof(VstPinProperties) == 128, "VstPinProperties size");
static_assert(offsetof(VstPinProperties, label) == 0 && offsetof(VstPinProperties, flags) == 64 &&
                  offsetof(VstPinProperties, arrangementType) == 68 &&
                  offsetof(VstPinProperties, shortLabel) == 72 &&
                  offsetof(VstPinProperties, future) == 80,
              "VstPinProperties offsets");

static_assert(sizeof(VstEvent) == 32, "VstEvent size");
static_assert(sizeof(VstMidiEvent) == 32, "VstMidiEvent size");
static_assert(offsetof(VstEvent, deltaFrames) == 8, "VstEvent::deltaFrames");
static_assert(offsetof(VstMidiEvent, deltaFrames) == 8 && offsetof(VstMidiEvent, midiData) == 24,
              "VstMidiEvent offsets");

static_assert(!kVst32BitLayout || sizeof(VstEvents) == 16, "VstEvents size");
KEL_PIN32(VstEvents, numEvents, 0);
KEL_PIN32(VstEvents, reserved, 4);
KEL_PIN32(VstEvents, events, 8);
static_assert(!kVst64BitLayout || sizeof(VstEvents) == 32, "VstEvents size");
KEL_PIN64(VstEvents, numEvents, 0);
KEL_PIN64(VstEvents, reserved, 8);
KEL_PIN64(VstEvents, events, 16);

static_assert(offsetof(VstTimeInfo, tempo) == 32, "VstTimeInfo::tempo");
static_assert(sizeof(VstTimeInfo) == 88, "VstTimeInfo size");
