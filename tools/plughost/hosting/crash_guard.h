// One crash, one line. Whatever way a plug-in ends plughost (a fault such
// as an access violation or a stack overflow, a C++ exception nobody
// catches, or a call of ExitProcess, TerminateProcess, exit, _exit or abort
// from the plug-in, its engine or anything they loaded), plughost ends with
// one line on stderr naming what happened and the call of the thread it
// happened on, nothing more on stdout, the temporary files of unfinished
// writes removed, and exit status kPluginCrashedStatus. The system's (or
// Wine's) crash dialog, register dump and the C++ runtime's own
// "terminate called ..." lines never appear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>

#include "vst/vst_types.h"

namespace plughost {

constexpr int kPluginCrashedStatus = 5;

// What ended the process, as the reporter gets it.
struct PluginFault {
  // "crashed (exception 0xC0000005, access violation)", "called
  // ExitProcess(0)", "threw a C++ exception (std::runtime_error: ...)".
  char what[192];
  // The call the faulting thread was making into a plug-in ("" for none).
  char call[64];
  // Outside any call: the file name of the module the fault came from, when
  // it is not plughost ("" otherwise).
  char module[64];
  std::uint32_t exceptionCode;  // 0 when the plug-in ended the process itself
  std::uint32_t thread;         // the thread it happened on
};

// [any thread] Ends the process; must not return. Runs on whatever stack is
// left (a stack overflow leaves little): no allocation, no locks.
using FaultReporter = void (*)(const PluginFault& fault, void* context);

// Installs the handlers and the import stand-ins (for every module loaded
// from outside the Windows folder, now or later); called once before any
// plug-in loads. The reporter is reportFaultLine until replaced.
void installCrashHandler();
// A process that reports elsewhere (a validator's check process).
void setFaultReporter(FaultReporter reporter, void* context);

// The line plughost prints for `fault`, with its newline.
void formatFaultLine(const PluginFault& fault, char* line, std::size_t size);
// The default reporter: the line on stderr, the temporary files removed,
// status kPluginCrashedStatus.
void reportFaultLine(const PluginFault& fault, void* context);

// Names the call into the plug-in for as long as it lives: "main",
// "processReplacing", or a dispatcher opcode. Each thread has its own: a
// fault names the call of the thread it happened on. Calls nest (an opcode
// that calls back into plughost which calls the plug-in); each restores the
// one before it.
class PluginCall {
 public:
  explicit PluginCall(const char* name);
  explicit PluginCall(VstInt32 opcode);
  ~PluginCall();
  PluginCall(const PluginCall&) = delete;
  PluginCall& operator=(const PluginCall&) = delete;

  // Writes the call's name into `text`.
  void describe(char* text, std::size_t size) const;

 private:
  void enter();

  const char* name_;
  VstInt32 opcode_;
  const PluginCall* previous_ = nullptr;
};

// For a C++ exception that reached one of plughost's catches: when a module
// of a plug-in's threw it (one that plughost calls without a PluginCall, as
// install's engine check does), ends the process as that module's fault;
// otherwise returns.
void endIfThrownByPlugin(const std::exception& exception);

// Runs `call` (a call into a plug-in) so that no C++ exception unwinds out of
// it into plughost: one that does ends plughost as a crash of the call
// that a PluginCall names, instead of meeting one of plughost's own catches.
template <typename Call>
auto unwindingStopsHere(Call&& call) noexcept -> decltype(call()) {
  return call();
}

}  // namespace plughost
