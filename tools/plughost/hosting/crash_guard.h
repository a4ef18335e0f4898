// One crash, one line. A plug-in that faults in any call ends plughost with
// one line on stderr naming the exception and the call that was running,
// nothing more on stdout, and exit status kPluginCrashedStatus; the system's
// (or Wine's) crash dialog and register dump never appear.
#pragma once

#include "vst/vst_types.h"

namespace plughost {

constexpr int kPluginCrashedStatus = 5;

// Installs the handler; called once before any plug-in loads.
void installCrashHandler();

// Names the call into the plug-in for as long as it lives: "main",
// "processReplacing", or a dispatcher opcode. Calls nest (an opcode that
// calls back into plughost which calls the plug-in), so each restores the
// one before it.
class PluginCall {
 public:
  explicit PluginCall(const char* name);
  explicit PluginCall(VstInt32 opcode);
  ~PluginCall();
  PluginCall(const PluginCall&) = delete;
  PluginCall& operator=(const PluginCall&) = delete;

 private:
  const char* previousName_;
  VstInt32 previousOpcode_;
};

}  // namespace plughost
