// AudioEffectX: the extension dispatcher (opcodes 25 to 76), the neutral
// defaults of the extension operations, the flag setters and the speaker
// arrangement helpers. The host services live in host_services.cpp.
#include "vst/audio_effect_x.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "vst/aeff_editor.h"
#include "vst/host_text.h"
#include "vst/vst_opcodes.h"

namespace {

constexpr std::uint32_t kFirstExtendedOpcode = effProcessEvents;
constexpr std::uint32_t kExtendedOpcodeSpan = effBeginLoadProgram - effProcessEvents;
constexpr VstInt32 kDefaultVstVersion = 2300;
constexpr std::size_t kSpeakerNameSize = sizeof(VstSpeakerProperties::name);

// Modifier byte of a key code: the float truncated toward zero, low byte
// kept. NaN and values beyond the 32-bit range give 0.
std::uint8_t modifierByte(float opt) {
  if (!(std::fabs(opt) < 2147483648.0f)) return 0;
  return static_cast<std::uint8_t>(static_cast<VstInt32>(opt) & 0xFF);
}

// Arrangement blocks stay within what a 32-bit host can address, so a count
// is refused alike on every platform.
bool arrangementSizeFits(VstInt32 numChannels) {
  if (numChannels < 0) return false;
  const std::uint64_t size = kSpeakerArrangementHeaderSize +
                             sizeof(VstSpeakerProperties) * static_cast<std::uint64_t>(numChannels);
  return size <= std::numeric_limits<std::uint32_t>::max() &&
         size <= std::numeric_limits<std::size_t>::max();
}

}  // namespace

AudioEffectX::AudioEffectX(audioMasterCallback host, VstInt32 programCount, VstInt32 parameterCount)
    : AudioEffect(host, programCount, parameterCount) {}

AudioEffectX::~AudioEffectX() = default;

// [main], effProcessEvents [audio]; ptr and the records behind value stay
// the host's.
// Results the host reads as booleans are exactly 0 or 1. Opcodes that read or
// write through ptr do not call their operation when ptr is null and answer
// the operation's neutral default instead.
VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
  // Unsigned, so everything below 25, above 76 or negative goes to the base.
  if (static_cast<std::uint32_t>(opcode) - kFirstExtendedOpcode > kExtendedOpcodeSpan) {
    return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
  }

  char* text = static_cast<char*>(ptr);
  const VstInt32 value32 = static_cast<VstInt32>(value);
  const bool hasPtr = ptr != nullptr;

  switch (opcode) {
    case effProcessEvents:
      return hasPtr ? processEvents(static_cast<VstEvents*>(ptr)) : 0;
    case effCanBeAutomated:
      return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
      return hasPtr && string2parameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories:
      return getNumCategories();
    case effGetProgramNameIndexed:
      return hasPtr && getProgramNameIndexed(value32, index, text) ? 1 : 0;
    case effCopyProgram:
      return copyProgram(index) ? 1 : 0;
    case effConnectInput:
      inputConnected(index, value != 0);
      return 1;
    case effConnectOutput:
      outputConnected(index, value != 0);
      return 1;
    case effGetInputProperties:
      return hasPtr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
      return hasPtr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
      return getPlugCategory();
    case effGetCurrentPosition:
      return reportCurrentPosition();
    case effGetDestinationBuffer:
      return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
      return hasPtr && offlineNotify(static_cast<VstAudioFile*>(ptr), value32, index != 0) ? 1 : 0;
    case effOfflinePrepare:
      return hasPtr && offlinePrepare(static_cast<VstOfflineTask*>(ptr), value32) ? 1 : 0;
    case effOfflineRun:
      return hasPtr && offlineRun(static_cast<VstOfflineTask*>(ptr), value32) ? 1 : 0;
    case effProcessVarIo:
      return hasPtr && processVariableIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
      // Either arrangement may be missing; the operation decides.
      return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                   static_cast<VstSpeakerArrangement*>(ptr))
                 ? 1
                 : 0;
    case effSetBlockSizeAndSampleRate:
      setBlockSizeAndSampleRate(value32, opt);
      return 1;
    case effSetBypass:
      return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
      return hasPtr && getEffectName(text) ? 1 : 0;
    case effGetErrorText:
      return hasPtr && getErrorText(text) ? 1 : 0;
    case effGetVendorString:
      return hasPtr && getVendorString(text) ? 1 : 0;
    case effGetProductString:
      return hasPtr && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
      return getVendorVersion();
    case effVendorSpecific:
      // ptr means whatever the vendor's protocol says; passed on as it is.
      return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return hasPtr ? canDo(text) : 0;
    case effGetTailSize:
      return getGetTailSize();
    case effIdle:
      return fxIdle();
    case effGetIcon:
      return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
      return setViewPosition(index, value32) ? 1 : 0;
    case effGetParameterProperties:
      return hasPtr && getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1
                                                                                                : 0;
    case effKeysRequired:
      // The host asks the opposite question: 1 means keys are not needed.
      return keysRequired() ? 0 : 1;
    case effGetVstVersion:
      return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
      if (editor == nullptr) return 0;
      VstKeyCode key;
      key.character = index;
      key.virt = static_cast<std::uint8_t>(value & 0xFF);
      key.modifier = modifierByte(opt);
      return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
    }
    case effSetEditKnobMode:
      return editor != nullptr ? editor->setKnobMode(value32) : 0;
    case effGetMidiProgramName:
      return hasPtr ? getMidiProgramName(index, static_cast<MidiProgramName*>(ptr)) : 0;
    case effGetCurrentMidiProgram:
      // -1: no current program, as the default answers.
      return hasPtr ? getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr)) : -1;
    case effGetMidiProgramCategory:
      return hasPtr ? getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr)) : 0;
    case effHasMidiProgramsChanged:
      return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
      return hasPtr && getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
      return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
      return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement:
      // The operation skips a missing place.
      return getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                   static_cast<VstSpeakerArrangement**>(ptr))
                 ? 1
                 : 0;
    case effShellGetNextPlugin:
      return hasPtr ? getNextShellPlugin(text) : 0;
    case effStartProcess:
      return startProcess();
    case effStopProcess:
      return stopProcess();
    case effSetTotalSampleToProcess:
      return setTotalSampleToProcess(value32);
    case effSetPanLaw:
      return setPanLaw(value32, opt) ? 1 : 0;
    case effBeginLoadBank:
      return hasPtr ? beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr)) : 0;
    case effBeginLoadProgram:
      return hasPtr ? beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr)) : 0;
    default:
      return 0;  // not reached: every opcode from 25 to 76 has its case
  }
}

// --- plug-in side defaults ---------------------------------------------------------

AEffEditor* AudioEffectX::getEditor() {
  return editor;
}

VstInt32 AudioEffectX::processEvents(VstEvents*) {
  return 0;
}

bool AudioEffectX::canParameterBeAutomated(VstInt32) {
  return true;
}

bool AudioEffectX::string2parameter(VstInt32, char*) {
  return false;
}

float AudioEffectX::getChannelParameter(VstInt32, VstInt32) {
  return 0.0f;
}

VstInt32 AudioEffectX::getNumCategories() {
  return 1;
}

bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32, char*) {
  return false;
}

bool AudioEffectX::copyProgram(VstInt32) {
  return false;
}

void AudioEffectX::inputConnected(VstInt32, bool) {}

void AudioEffectX::outputConnected(VstInt32, bool) {}

bool AudioEffectX::getInputProperties(VstInt32, VstPinProperties*) {
  return false;
}

bool AudioEffectX::getOutputProperties(VstInt32, VstPinProperties*) {
  return false;
}

VstPlugCategory AudioEffectX::getPlugCategory() {
  return (cEffect.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
}

void AudioEffectX::wantAsyncOperation(bool state) {
  setFlag(effFlagsExtIsAsync, state);
}

void AudioEffectX::hasExternalBuffer(bool state) {
  setFlag(effFlagsExtHasBuffer, state);
}

VstInt32 AudioEffectX::reportCurrentPosition() {
  return 0;
}

float* AudioEffectX::reportDestinationBuffer() {
  return nullptr;
}

bool AudioEffectX::offlineNotify(VstAudioFile*, VstInt32, bool) {
  return false;
}

bool AudioEffectX::offlinePrepare(VstOfflineTask*, VstInt32) {
  return false;
}

bool AudioEffectX::offlineRun(VstOfflineTask*, VstInt32) {
  return false;
}

VstInt32 AudioEffectX::offlineGetNumPasses() {
  return 0;
}

VstInt32 AudioEffectX::offlineGetNumMetaPasses() {
  return 0;
}

void AudioEffectX::isSynth(bool state) {
  setFlag(effFlagsIsSynth, state);
}

void AudioEffectX::noTail(bool state) {
  setFlag(effFlagsNoSoundInStop, state);
}

bool AudioEffectX::processVariableIo(VstVariableIo*) {
  return false;
}

bool AudioEffectX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
  return false;
}

// A missing place is skipped; the others receive "no arrangement".
bool AudioEffectX::getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                         VstSpeakerArrangement** pluginOutput) {
  if (pluginInput != nullptr) *pluginInput = nullptr;
  if (pluginOutput != nullptr) *pluginOutput = nullptr;
  return false;
}

// Stores the two values only: overrides of setSampleRate and setBlockSize are
// deliberately not told.
void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
  blockSize = newBlockSize;
  sampleRate = newSampleRate;
}

bool AudioEffectX::setBypass(bool) {
  return false;
}

bool AudioEffectX::getEffectName(char*) {
  return false;
}

bool AudioEffectX::getErrorText(char*) {
  return false;
}

bool AudioEffectX::getVendorString(char*) {
  return false;
}

bool AudioEffectX::getProductString(char*) {
  return false;
}

VstInt32 AudioEffectX::getVendorVersion() {
  return 0;
}

VstIntPtr AudioEffectX::vendorSpecific(VstInt32, VstIntPtr, void*, float) {
  return 0;
}

VstInt32 AudioEffectX::canDo(char*) {
  return 0;
}

void* AudioEffectX::getIcon() {
  return nullptr;
}

bool AudioEffectX::setViewPosition(VstInt32, VstInt32) {
  return false;
}

VstInt32 AudioEffectX::getGetTailSize() {
  return 0;
}

VstInt32 AudioEffectX::fxIdle() {
  return 0;
}

bool AudioEffectX::getParameterProperties(VstInt32, VstParameterProperties*) {
  return false;
}

bool AudioEffectX::keysRequired() {
  return false;
}

VstInt32 AudioEffectX::getVstVersion() {
  return kDefaultVstVersion;
}

VstInt32 AudioEffectX::getMidiProgramName(VstInt32, MidiProgramName*) {
  return 0;
}

VstInt32 AudioEffectX::getCurrentMidiProgram(VstInt32, MidiProgramName*) {
  return -1;
}

VstInt32 AudioEffectX::getMidiProgramCategory(VstInt32, MidiProgramCategory*) {
  return 0;
}

bool AudioEffectX::hasMidiProgramsChanged(VstInt32) {
  return false;
}

bool AudioEffectX::getMidiKeyName(VstInt32, MidiKeyName*) {
  return false;
}

bool AudioEffectX::beginSetProgram() {
  return false;
}

bool AudioEffectX::endSetProgram() {
  return false;
}

VstInt32 AudioEffectX::setTotalSampleToProcess(VstInt32 value) {
  return value;
}

VstInt32 AudioEffectX::getNextShellPlugin(char*) {
  return 0;
}

VstInt32 AudioEffectX::startProcess() {
  return 0;
}

VstInt32 AudioEffectX::stopProcess() {
  return 0;
}

bool AudioEffectX::setPanLaw(VstInt32, float) {
  return false;
}

VstInt32 AudioEffectX::beginLoadBank(VstPatchChunkInfo*) {
  return 0;
}

VstInt32 AudioEffectX::beginLoadProgram(VstPatchChunkInfo*) {
  return 0;
}

// --- speaker arrangements ----------------------------------------------------------
// Blocks are malloc'ed here and freed only by these helpers.

bool AudioEffectX::allocateArrangement(VstSpeakerArrangement** arrangement, VstInt32 nbChannels) {
  if (arrangement == nullptr) return false;
  if (*arrangement != nullptr) {
    std::free(*arrangement);
    *arrangement = nullptr;
  }
  if (!arrangementSizeFits(nbChannels)) return false;
  void* block = std::calloc(1, speakerArrangementSize(nbChannels));
  if (block == nullptr) return false;
  auto* created = static_cast<VstSpeakerArrangement*>(block);
  created->numChannels = nbChannels;
  *arrangement = created;
  return true;
}

bool AudioEffectX::deallocateArrangement(VstSpeakerArrangement** arrangement) {
  if (arrangement != nullptr && *arrangement != nullptr) {
    std::free(*arrangement);
    *arrangement = nullptr;
  }
  return true;
}

bool AudioEffectX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
  if (to == nullptr || from == nullptr) return false;
  to->azimuth = from->azimuth;
  to->elevation = from->elevation;
  to->radius = from->radius;
  to->reserved = from->reserved;
  // The source name may lack its NUL: the copy stops at the field's end.
  copyText(to->name, from->name, kSpeakerNameSize);
  to->type = from->type;
  std::memmove(to->future, from->future, sizeof(to->future));
  return true;
}

bool AudioEffectX::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
  if (from == nullptr) return false;
  // Matching an arrangement to itself would free the source first.
  if (to != nullptr && *to == from) return true;
  if (!deallocateArrangement(to)) return false;
  if (!allocateArrangement(to, from->numChannels)) return false;
  (*to)->type = from->type;
  for (VstInt32 i = 0; i < (*to)->numChannels; ++i) {
    if (!copySpeaker(speakerAt(*to, i), speakerAt(from, i))) return false;
  }
  return true;
}
