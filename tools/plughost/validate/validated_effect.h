// One instance of the plug-in under test, loaded as a host loads it, every
// call announced to the check context first so that a crash or hang names
// it. Nothing the plug-in answers is trusted: the record is checked before
// use and texts are read through guarded buffers.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "platform/platform.h"
#include "validate/check_context.h"
#include "vst/vst_opcodes.h"
#include "vst/vst_types.h"

namespace plughost {

// The plug-in cannot be opened at all; the text says why.
class OpenFailure : public std::runtime_error {
 public:
  explicit OpenFailure(const std::string& message) : std::runtime_error(message) {}
};

class ValidatedEffect {
 public:
  // LoadLibraryA, "main", effOpen. Throws OpenFailure with a one-line reason.
  explicit ValidatedEffect(CheckContext& context);
  // effClose and FreeLibrary.
  ~ValidatedEffect();
  ValidatedEffect(const ValidatedEffect&) = delete;
  ValidatedEffect& operator=(const ValidatedEffect&) = delete;

  AEffect& record() const { return *effect_; }
  int parameterCount() const { return effect_->numParams; }
  int inputCount() const { return effect_->numInputs; }
  int outputCount() const { return effect_->numOutputs; }
  bool hasFlag(VstInt32 flag) const { return (effect_->flags & flag) != 0; }
  bool takesMidi();

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);
  float getParameter(VstInt32 index);
  void setParameter(VstInt32 index, float value);
  // processReplacing when the effect has it, else the accumulating process;
  // null when it has neither.
  AEffectProcessProc processor() const;
  bool replaces() const;  // processor() is processReplacing
  // Calls processor(), if any, noting the call.
  void process(float** inputs, float** outputs, VstInt32 frames);
  // From now, process() and effProcessEvents run inside the real-time audit
  // (validate/realtime_audit.h) of the calling thread.
  void auditProcessing(bool on) { audited_ = on; }

  // effSetSampleRate, effSetBlockSize, effMainsChanged(1), effStartProcess.
  void start(float sampleRate, VstInt32 maxBlock);
  // effStopProcess, effMainsChanged(0).
  void stop();

  // A text opcode's answer read through a guarded 64-byte buffer; a write
  // past it or a text without NUL is reported as a failure naming `what`.
  std::string text(VstInt32 opcode, VstInt32 index, const std::string& what);

 private:
  CheckContext& context_;
  platform::Library library_;
  AEffect* effect_ = nullptr;
  bool running_ = false;
  bool audited_ = false;
};

}  // namespace plughost
