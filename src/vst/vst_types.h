// Binary records exchanged with a VST 2 host, declared once, field by field.
// Fields that hold pointers are pointer-sized; the checks under each record
// pin both the 32-bit and the 64-bit Windows layout that hosts read directly
// (the native 64-bit build has the 64-bit one).
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
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8, "a 32-bit or a 64-bit target");

// The text fields of the records below (a pin's label, a speaker's name),
// and so the largest text buffer hosts commonly give with a text opcode: 63
// characters and the NUL.
constexpr std::size_t kHostTextSize = 64;

// One check per field: its offset on 32-bit and on 64-bit hosts, and the size.
#define KEL_PIN(type, field, at32, at64) \
  static_assert(offsetof(type, field) == (kVst32BitLayout ? (at32) : (at64)), #type "::" #field)
#define KEL_PIN_SIZE(type, size32, size64) \
  static_assert(sizeof(type) == (kVst32BitLayout ? (size32) : (size64)), #type " size")

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

// The effect record the host reads and calls.
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
KEL_PIN_SIZE(AEffect, 144, 192);
KEL_PIN(AEffect, magic, 0, 0);
KEL_PIN(AEffect, dispatcher, 4, 8);
KEL_PIN(AEffect, process, 8, 16);
KEL_PIN(AEffect, setParameter, 12, 24);
KEL_PIN(AEffect, getParameter, 16, 32);
KEL_PIN(AEffect, numPrograms, 20, 40);
KEL_PIN(AEffect, numParams, 24, 44);
KEL_PIN(AEffect, numInputs, 28, 48);
KEL_PIN(AEffect, numOutputs, 32, 52);
KEL_PIN(AEffect, flags, 36, 56);
// 64-bit: 4 bytes of alignment padding after flags put resvd1 at 64.
KEL_PIN(AEffect, resvd1, 40, 64);
KEL_PIN(AEffect, resvd2, 44, 72);
KEL_PIN(AEffect, initialDelay, 48, 80);
KEL_PIN(AEffect, realQualities, 52, 84);
KEL_PIN(AEffect, offQualities, 56, 88);
KEL_PIN(AEffect, ioRatio, 60, 92);
KEL_PIN(AEffect, object, 64, 96);
KEL_PIN(AEffect, user, 68, 104);
KEL_PIN(AEffect, uniqueID, 72, 112);
KEL_PIN(AEffect, version, 76, 116);
KEL_PIN(AEffect, processReplacing, 80, 120);
KEL_PIN(AEffect, future, 84, 128);

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

// Editor rectangle handed to the host.
struct ERect {
  VstInt16 top;
  VstInt16 left;
  VstInt16 bottom;
  VstInt16 right;
};
KEL_PIN_SIZE(ERect, 8, 8);
KEL_PIN(ERect, top, 0, 0);
KEL_PIN(ERect, left, 2, 2);
KEL_PIN(ERect, bottom, 4, 4);
KEL_PIN(ERect, right, 6, 6);

// Key code record built by the dispatcher for the editor key opcodes.
struct VstKeyCode {
  VstInt32 character;
  std::uint8_t virt;
  std::uint8_t modifier;
  std::uint8_t padding[2];  // rounds the record up to its 4-byte alignment
};
KEL_PIN_SIZE(VstKeyCode, 8, 8);
KEL_PIN(VstKeyCode, character, 0, 0);
KEL_PIN(VstKeyCode, virt, 4, 4);
KEL_PIN(VstKeyCode, modifier, 5, 5);
KEL_PIN(VstKeyCode, padding, 6, 6);

// One speaker of an arrangement.
struct VstSpeakerProperties {
  float azimuth;
  float elevation;
  float radius;
  float reserved;
  char name[kHostTextSize];
  VstInt32 type;
  char future[28];
};
KEL_PIN_SIZE(VstSpeakerProperties, 112, 112);
KEL_PIN(VstSpeakerProperties, azimuth, 0, 0);
KEL_PIN(VstSpeakerProperties, elevation, 4, 4);
KEL_PIN(VstSpeakerProperties, radius, 8, 8);
KEL_PIN(VstSpeakerProperties, reserved, 12, 12);
KEL_PIN(VstSpeakerProperties, name, 16, 16);
KEL_PIN(VstSpeakerProperties, type, 80, 80);
KEL_PIN(VstSpeakerProperties, future, 84, 84);

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
KEL_PIN_SIZE(VstSpeakerArrangement, 904, 904);
KEL_PIN(VstSpeakerArrangement, type, 0, 0);
KEL_PIN(VstSpeakerArrangement, numChannels, 4, 4);
KEL_PIN(VstSpeakerArrangement, speakers, kSpeakerArrangementHeaderSize,
        kSpeakerArrangementHeaderSize);

inline std::size_t speakerArrangementSize(VstInt32 numChannels) {
  return kSpeakerArrangementHeaderSize +
         sizeof(VstSpeakerProperties) * static_cast<std::size_t>(numChannels);
}

inline VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, VstInt32 index) {
  auto* bytes = reinterpret_cast<unsigned char*>(arrangement) + kSpeakerArrangementHeaderSize;
  return reinterpret_cast<VstSpeakerProperties*>(bytes) + index;
}

// Properties of one input or output pin.
struct VstPinProperties {
  char label[kHostTextSize];
  VstInt32 flags;
  VstInt32 arrangementType;
  char shortLabel[8];
  char future[48];
};
KEL_PIN_SIZE(VstPinProperties, 128, 128);
KEL_PIN(VstPinProperties, label, 0, 0);
KEL_PIN(VstPinProperties, flags, 64, 64);
KEL_PIN(VstPinProperties, arrangementType, 68, 68);
KEL_PIN(VstPinProperties, shortLabel, 72, 72);
KEL_PIN(VstPinProperties, future, 80, 80);

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

// One event of a VstEvents block; MIDI events keep their four data bytes at
// offset 24, which is all the bridge reads of any event.
struct VstEvent {
  VstInt32 type;
  VstInt32 byteSize;
  VstInt32 deltaFrames;
  VstInt32 flags;
  char data[16];
};
KEL_PIN_SIZE(VstEvent, 32, 32);
KEL_PIN(VstEvent, type, 0, 0);
KEL_PIN(VstEvent, byteSize, 4, 4);
KEL_PIN(VstEvent, deltaFrames, 8, 8);
KEL_PIN(VstEvent, flags, 12, 12);
KEL_PIN(VstEvent, data, 16, 16);

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
KEL_PIN_SIZE(VstMidiEvent, 32, 32);
KEL_PIN(VstMidiEvent, type, 0, 0);
KEL_PIN(VstMidiEvent, byteSize, 4, 4);
KEL_PIN(VstMidiEvent, deltaFrames, 8, 8);
KEL_PIN(VstMidiEvent, flags, 12, 12);
KEL_PIN(VstMidiEvent, noteLength, 16, 16);
KEL_PIN(VstMidiEvent, noteOffset, 20, 20);
KEL_PIN(VstMidiEvent, midiData, 24, 24);
KEL_PIN(VstMidiEvent, detune, 28, 28);
KEL_PIN(VstMidiEvent, noteOffVelocity, 29, 29);
KEL_PIN(VstMidiEvent, reserved1, 30, 30);
KEL_PIN(VstMidiEvent, reserved2, 31, 31);

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
KEL_PIN_SIZE(VstEvents, 16, 32);
KEL_PIN(VstEvents, numEvents, 0, 0);
// 64-bit: the pointer-sized field is aligned to 8, after 4 bytes of padding.
KEL_PIN(VstEvents, reserved, 4, 8);
KEL_PIN(VstEvents, events, 8, 16);

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
KEL_PIN_SIZE(VstTimeInfo, 88, 88);
KEL_PIN(VstTimeInfo, samplePos, 0, 0);
KEL_PIN(VstTimeInfo, sampleRate, 8, 8);
KEL_PIN(VstTimeInfo, nanoSeconds, 16, 16);
KEL_PIN(VstTimeInfo, ppqPos, 24, 24);
KEL_PIN(VstTimeInfo, tempo, 32, 32);
KEL_PIN(VstTimeInfo, barStartPos, 40, 40);
KEL_PIN(VstTimeInfo, cycleStartPos, 48, 48);
KEL_PIN(VstTimeInfo, cycleEndPos, 56, 56);
KEL_PIN(VstTimeInfo, timeSigNumerator, 64, 64);
KEL_PIN(VstTimeInfo, timeSigDenominator, 68, 68);
KEL_PIN(VstTimeInfo, smpteOffset, 72, 72);
KEL_PIN(VstTimeInfo, smpteFrameRate, 76, 76);
KEL_PIN(VstTimeInfo, samplesToNextClock, 80, 80);
KEL_PIN(VstTimeInfo, flags, 84, 84);

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
