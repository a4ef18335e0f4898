// AudioEffect: the effect record, its five entries, the base dispatcher
// (opcodes 0 to 24), the neutral defaults, the record setters and the basic
// host queries. The value formatting tools live in audio_effect_format.cpp.
#include "vst/audio_effect.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "vst/aeff_editor.h"
#include "vst/vst_opcodes.h"

namespace {

constexpr float kInitialSampleRate = 44100.0f;
constexpr VstInt32 kInitialBlockSize = 1024;
// What a fresh record promises until the effect says otherwise.
constexpr VstInt32 kInitialInputs = 1;
constexpr VstInt32 kInitialOutputs = 2;
constexpr VstInt32 kInitialVersion = 1;
constexpr float kUnityIoRatio = 1.0f;  // as many samples out as in
constexpr double kVuScale = 32767.0;

// Truncates toward zero; a value beyond the 32-bit range saturates and NaN
// gives 0, so an odd float from an override never makes the conversion
// undefined.
VstInt32 truncateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<VstInt32>::max();
  if (value <= -2147483648.0) return std::numeric_limits<VstInt32>::min();
  return static_cast<VstInt32>(value);
}

AudioEffect* objectOf(AEffect* e) {
  return static_cast<AudioEffect*>(e->object);
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback host, VstInt32 programCount, VstInt32 parameterCount)
    : sampleRate(kInitialSampleRate),
      editor(nullptr),
      audioMaster(host),
      numPrograms(programCount),
      numParams(parameterCount),
      curProgram(0),
      blockSize(kInitialBlockSize) {
  std::memset(&cEffect, 0, sizeof(cEffect));
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = &AudioEffect::dispatchEntry;
  cEffect.process = &AudioEffect::processEntry;
  cEffect.setParameter = &AudioEffect::setParameterEntry;
  cEffect.getParameter = &AudioEffect::getParameterEntry;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = kInitialInputs;
  cEffect.numOutputs = kInitialOutputs;
  cEffect.ioRatio = kUnityIoRatio;
  cEffect.object = this;
  cEffect.uniqueID = kDefaultUniqueId;
  cEffect.version = kInitialVersion;
  cEffect.processReplacing = &AudioEffect::processReplacingEntry;
}

AudioEffect::~AudioEffect() {
  delete editor;
  editor = nullptr;
}

// --- record entries -----------------------------------------------------------
// Exceptions from an override end at the entry: the host sees the neutral
// answer instead of an unwinding foreign frame.

// [main], effProcessEvents [audio]. The host owns the record and ptr; effClose destroys the object
// and answers 1, after which the record is gone. A null record or a failing operation answers 0.
VstIntPtr VSTCALLBACK AudioEffect::dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index,
                                                 VstIntPtr value, void* ptr, float opt) {
  if (e == nullptr) return 0;
  AudioEffect* effect = objectOf(e);
  if (opcode == effClose) {
    try {
      effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
    }
    delete effect;  // the host gives the effect up even if close failed
    return 1;
  }
  try {
    return effect->dispatcher(opcode, index, value, ptr, opt);
  } catch (...) {
    return 0;
  }
}

// [audio] The host owns the record and the channel arrays. Answers nothing.
void VSTCALLBACK AudioEffect::processEntry(AEffect* e, float** inputs, float** outputs,
                                           VstInt32 sampleFrames) {
  try {
    objectOf(e)->process(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

// [audio] The host owns the record and the channel arrays. Answers nothing.
void VSTCALLBACK AudioEffect::processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                                    VstInt32 sampleFrames) {
  try {
    objectOf(e)->processReplacing(inputs, outputs, sampleFrames);
  } catch (...) {
  }
}

// [any thread] The host owns the record.
void VSTCALLBACK AudioEffect::setParameterEntry(AEffect* e, VstInt32 index, float value) {
  try {
    objectOf(e)->setParameter(index, value);
  } catch (...) {
  }
}

// [any thread] The host owns the record.
// Answers 0.0 if the operation fails.
float VSTCALLBACK AudioEffect::getParameterEntry(AEffect* e, VstInt32 index) {
  try {
    return objectOf(e)->getParameter(index);
  } catch (...) {
    return 0.0f;
  }
}

// --- base dispatcher --------------------------------------------------------------

// [main], through the dispatcher entry. ptr stays the host's. Unknown opcodes, missing editors and
// refused arguments answer 0.
VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
  // Compared unsigned, so negative opcodes are refused here too.
  if (static_cast<std::uint32_t>(opcode) > static_cast<std::uint32_t>(effSetChunk)) return 0;

  // Opcodes that read or write through ptr never pass a null ptr on: the
  // operation is not called and the neutral answer 0 is returned.
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      // A negative program number is refused like one past the end.
      if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName:
      if (text != nullptr) setProgramName(text);
      return 0;
    case effGetProgramName:
      if (text != nullptr) getProgramName(text);
      return 0;
    case effGetParamLabel:
      if (text != nullptr) getParameterLabel(index, text);
      return 0;
    case effGetParamDisplay:
      if (text != nullptr) getParameterDisplay(index, text);
      return 0;
    case effGetParamName:
      if (text != nullptr) getParameterName(index, text);
      return 0;
    case effGetVu:
      return truncateToInt32(getVu() * kVuScale);
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      if (value == 0) {
        suspend();
      } else {
        resume();
      }
      return 0;
    case effEditGetRect:
      if (editor == nullptr || ptr == nullptr) return 0;
      return editor->getRect(static_cast<ERect**>(ptr));
    case effEditOpen:
      // Without a parent window there is nothing to open in.
      if (editor == nullptr || ptr == nullptr) return 0;
      return editor->open(ptr);
    case effEditClose:
      if (editor != nullptr) editor->close();
      return 0;
    case effEditIdle:
      if (editor != nullptr) editor->idle();
      return 0;
    case effIdentify:
      return kEffectIdentify;
    case effGetChunk:
      if (ptr == nullptr) return 0;
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      if (ptr == nullptr) return 0;
      return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
      // effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep.
      return 0;
  }
}

// --- neutral defaults -----------------------------------------------------------

void AudioEffect::setParameter(VstInt32, float) {}

float AudioEffect::getParameter(VstInt32) {
  return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
  // The effect takes the value first, then the host hears of it.
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value, 0);
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}

void AudioEffect::open() {}

void AudioEffect::close() {}

VstInt32 AudioEffect::getProgram() {
  return curProgram;
}

void AudioEffect::setProgram(VstInt32 program) {
  curProgram = program;
}

void AudioEffect::setProgramName(char* name) {
  if (name != nullptr) name[0] = '\0';
}

void AudioEffect::getProgramName(char* name) {
  if (name != nullptr) name[0] = '\0';
}

void AudioEffect::getParameterLabel(VstInt32, char* label) {
  if (label != nullptr) label[0] = '\0';
}

void AudioEffect::getParameterDisplay(VstInt32, char* text) {
  if (text != nullptr) text[0] = '\0';
}

void AudioEffect::getParameterName(VstInt32, char* text) {
  if (text != nullptr) text[0] = '\0';
}

float AudioEffect::getVu() {
  return 0.0f;
}

VstInt32 AudioEffect::getChunk(void**, bool) {
  return 0;
}

VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
  return 0;
}

void AudioEffect::setSampleRate(float newSampleRate) {
  sampleRate = newSampleRate;
}

void AudioEffect::setBlockSize(VstInt32 newBlockSize) {
  blockSize = newBlockSize;
}

void AudioEffect::suspend() {}

void AudioEffect::resume() {}

// --- record setters ---------------------------------------------------------------

void AudioEffect::setUniqueID(VstInt32 id) {
  cEffect.uniqueID = id;
}

void AudioEffect::setNumInputs(VstInt32 inputs) {
  cEffect.numInputs = inputs;
}

void AudioEffect::setNumOutputs(VstInt32 outputs) {
  cEffect.numOutputs = outputs;
}

void AudioEffect::hasVu(bool state) {
  setFlag(effFlagsHasVu, state);
}

void AudioEffect::hasClip(bool state) {
  setFlag(effFlagsHasClip, state);
}

void AudioEffect::canMono(bool state) {
  setFlag(effFlagsCanMono, state);
}

void AudioEffect::canProcessReplacing(bool state) {
  setFlag(effFlagsCanReplacing, state);
}

void AudioEffect::programsAreChunks(bool state) {
  setFlag(effFlagsProgramChunks, state);
}

void AudioEffect::setRealtimeQualities(VstInt32 qualities) {
  cEffect.realQualities = qualities;
}

void AudioEffect::setOfflineQualities(VstInt32 qualities) {
  cEffect.offQualities = qualities;
}

void AudioEffect::setInitialDelay(VstInt32 delay) {
  cEffect.initialDelay = delay;
}

float AudioEffect::getSampleRate() {
  return sampleRate;
}

VstInt32 AudioEffect::getBlockSize() {
  return blockSize;
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
  if (state) {
    cEffect.flags |= flag;
  } else {
    cEffect.flags &= ~flag;
  }
}

// The previous editor is not destroyed here: whoever replaces or detaches it
// takes it back. Only the destructor destroys the editor still attached.
void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  if (newEditor != nullptr) setFlag(effFlagsHasEditor, true);
}

// --- host queries ---------------------------------------------------------------

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt, VstIntPtr fallback) const {
  if (audioMaster == nullptr) return fallback;
  // The host takes the record by non-const pointer; asking does not change it.
  return audioMaster(const_cast<AEffect*>(&cEffect), opcode, index, value, ptr, opt);
}

VstInt32 AudioEffect::getMasterVersion() {
  const VstIntPtr version = callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1);
  return version == 0 ? 1 : static_cast<VstInt32>(version);
}

VstInt32 AudioEffect::getCurrentUniqueId() {
  return static_cast<VstInt32>(callHost(audioMasterCurrentId, 0, 0, nullptr, 0.0f, 0));
}

void AudioEffect::masterIdle() {
  callHost(audioMasterIdle, 0, 0, nullptr, 0.0f, 0);
}

// The host answers 0 for a connected pin.
bool AudioEffect::isInputConnected(VstInt32 input) {
  return callHost(audioMasterPinConnected, input, 0, nullptr, 0.0f, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
  return callHost(audioMasterPinConnected, output, 1, nullptr, 0.0f, 0) == 0;
}
