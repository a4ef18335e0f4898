#include "hosting/crash_guard.h"

#include <windows.h>

#include <cstdio>
#include <iterator>

#include "formats/byte_file.h"

namespace plughost {
namespace {

// The call running now: a name, or else a dispatcher opcode (-1: none).
const char* currentName = nullptr;
VstInt32 currentOpcode = -1;

// Dispatcher opcodes by number, for the crash line.
constexpr const char* kOpcodeNames[] = {"effOpen",
                                        "effClose",
                                        "effSetProgram",
                                        "effGetProgram",
                                        "effSetProgramName",
                                        "effGetProgramName",
                                        "effGetParamLabel",
                                        "effGetParamDisplay",
                                        "effGetParamName",
                                        "effGetVu",
                                        "effSetSampleRate",
                                        "effSetBlockSize",
                                        "effMainsChanged",
                                        "effEditGetRect",
                                        "effEditOpen",
                                        "effEditClose",
                                        "effEditDraw",
                                        "effEditMouse",
                                        "effEditKey",
                                        "effEditIdle",
                                        "effEditTop",
                                        "effEditSleep",
                                        "effIdentify",
                                        "effGetChunk",
                                        "effSetChunk",
                                        "effProcessEvents",
                                        "effCanBeAutomated",
                                        nullptr,
                                        "effGetNumProgramCategories",
                                        "effGetProgramNameIndexed",
                                        "effCopyProgram",
                                        "effConnectInput",
                                        "effConnectOutput",
                                        "effGetInputProperties",
                                        "effGetOutputProperties",
                                        "effGetPlugCategory",
                                        "effGetCurrentPosition",
                                        "effGetDestinationBuffer",
                                        "effOfflineNotify",
                                        "effOfflinePrepare",
                                        "effOfflineRun",
                                        "effProcessVarIo",
                                        "effSetSpeakerArrangement",
                                        "effSetBlockSizeAndSampleRate",
                                        "effSetBypass",
                                        "effGetEffectName",
                                        "effGetErrorText",
                                        "effGetVendorString",
                                        "effGetProductString",
                                        "effGetVendorVersion",
                                        "effVendorSpecific",
                                        "effCanDo",
                                        "effGetTailSize",
                                        "effIdle",
                                        "effGetIcon",
                                        "effSetViewPosition",
                                        "effGetParameterProperties",
                                        "effKeysRequired",
                                        "effGetVstVersion"};

const char* exceptionName(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
      return "access violation";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      return "illegal instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      return "integer division by zero";
    case EXCEPTION_STACK_OVERFLOW:
      return "stack overflow";
    case EXCEPTION_PRIV_INSTRUCTION:
      return "privileged instruction";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
      return "array bounds exceeded";
    case EXCEPTION_IN_PAGE_ERROR:
      return "page error";
    case EXCEPTION_BREAKPOINT:
      return "breakpoint";
    case 0x20474343:  // the C++ runtime's code for an exception nobody caught
      return "C++ exception not caught";
    default:
      return "exception";
  }
}

// [any thread] The process is lost: one line through the raw handle (no
// locks, no allocation), the temporary files of unfinished writes removed,
// then out without running anything else of it.
LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* pointers) {
  const DWORD code =
      pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;
  char line[192];
  int length = 0;
  if (!currentName && currentOpcode < 0) {
    // No plug-in call runs: an engine that install or register tried out,
    // or plughost itself.
    length = std::snprintf(
        line, sizeof line,
        "plughost: error: crashed (exception 0x%08lX, %s) outside any call into a plug-in\n",
        static_cast<unsigned long>(code), exceptionName(code));
  }
  char call[64] = "";
  if (currentName) {
    std::snprintf(call, sizeof call, "%s", currentName);
  } else if (currentOpcode >= 0 &&
             static_cast<std::size_t>(currentOpcode) < std::size(kOpcodeNames) &&
             kOpcodeNames[currentOpcode]) {
    std::snprintf(call, sizeof call, "%s", kOpcodeNames[currentOpcode]);
  } else if (currentOpcode >= 0) {
    std::snprintf(call, sizeof call, "dispatcher opcode %ld", static_cast<long>(currentOpcode));
  }
  if (length == 0) {
    length = std::snprintf(line, sizeof line,
                           "plughost: error: the plug-in crashed (exception 0x%08lX, %s) in %s\n",
                           static_cast<unsigned long>(code), exceptionName(code), call);
  }
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written, nullptr);
  removeTemporaryFiles();
  TerminateProcess(GetCurrentProcess(), kPluginCrashedStatus);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void installCrashHandler() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(onUnhandledException);
}

PluginCall::PluginCall(const char* name)
    : previousName_(currentName), previousOpcode_(currentOpcode) {
  currentName = name;
}

PluginCall::PluginCall(VstInt32 opcode)
    : previousName_(currentName), previousOpcode_(currentOpcode) {
  currentName = nullptr;
  currentOpcode = opcode;
}

PluginCall::~PluginCall() {
  currentName = previousName_;
  currentOpcode = previousOpcode_;
}

}  // namespace plughost
