// One instance of the plug-in under test, loaded as a host loads it, every
// call announced to the check context first so that a crash or hang names
// it. Nothing the plug-in answers is trusted: the record is checked before
// use and texts are read through guarded buffers.
#pragma once

#include <windows.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "hosting/plugin_loader.h"
#include "validate/check_context.h"
#include "validate/floating_point_state.h"
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
  // The library (hosting/plugin_loader.h), "main", effOpen. Throws
  // OpenFailure with a one-line reason.
  explicit ValidatedEffect(CheckContext& context);
  // effClose and FreeLibrary; reports a changed floating-point state.
  ~ValidatedEffect();
  ValidatedEffect(const ValidatedEffect&) = delete;
  ValidatedEffect& operator=(const ValidatedEffect&) = delete;

  AEffect& record() const { return *effect_; }
  // The first host call main() made that is about the effect it was still
  // building (audioMasterAutomate, audioMasterGetTime, ...): hosts do not
  // know an effect before main() returns it. -1 when none.
  VstInt32 instanceCallDuringMain() const { return callDuringMain_; }
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

  // [any thread] After a call into the plug-in made without this object
  // (the record's functions called directly): notes a change of the calling
  // thread's floating-point control state since `before`, the state just
  // before the call, and puts it back. Every call this object makes is
  // watched so. The first change is reported as a failure by
  // reportFloatingPoint(), which the destructor calls.
  void compareFloatingPoint(const FloatingPointState& before, const char* call);
  // [the opening thread] Reports the first change seen, once.
  void reportFloatingPoint();

  // A text opcode's answer read through a guarded 64-byte buffer; a write
  // past it or a text without NUL is reported as a failure naming `what`.
  std::string text(VstInt32 opcode, VstInt32 index, const std::string& what);

 private:
  CheckContext& context_;
  PluginLoader library_;
  AEffect* effect_ = nullptr;
  bool running_ = false;
  bool audited_ = false;
  VstInt32 callDuringMain_ = -1;
  const unsigned long openingThread_;
  // The first change of the floating-point state, written by the one
  // thread that claimed it and read after `changeReady_`.
  std::atomic<bool> changeClaimed_{false};
  std::atomic<bool> changeReady_{false};
  std::string change_;
};

}  // namespace plughost
