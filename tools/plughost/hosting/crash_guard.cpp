#include "hosting/crash_guard.h"

#include <windows.h>

#include <cxxabi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <iterator>
#include <typeinfo>

#include "formats/byte_file.h"
#include "hosting/import_patch.h"
#include "platform/path_size.h"
#include "platform/platform.h"

namespace plughost {
namespace {

// Each thread's innermost call into a plug-in.
const DWORD callSlot = TlsAlloc();
// Set on a thread once it has stack kept back for the handler.
const DWORD reserveSlot = TlsAlloc();
// What a thread keeps back below its stack for the fault handler, which
// after a stack overflow has nothing else to run on.
constexpr ULONG kHandlerStack = 64 * 1024;

FaultReporter reporter = reportFaultLine;
void* reporterContext = nullptr;

// The thread that reports; a second fault meanwhile waits for the end.
std::atomic<DWORD> reportingThread{0};

// The C++ runtime's "terminate called after throwing an instance of 'T'" and
// "  what():  ..." lines, held back from stderr: the runtime calls abort
// next, whose stand-in names the exception in plughost's one line instead.
std::atomic<DWORD> terminatingThread{0};
char terminateText[512];
std::size_t terminateLength = 0;

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

// The C++ runtime's code for an exception nobody caught, of GCC's runtime
// (64-bit) and of Microsoft's.
constexpr DWORD kGccException = 0x20474343;
constexpr DWORD kMsvcException = 0xE06D7363;

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
    case kGccException:
    case kMsvcException:
      return "C++ exception not caught";
    default:
      return "exception";
  }
}

const PluginCall* currentCall() {
  const DWORD error = GetLastError();
  const auto* call = static_cast<const PluginCall*>(TlsGetValue(callSlot));
  SetLastError(error);
  return call;
}

// The file name of the module holding `address` when it is one a plug-in
// brought (loaded from outside the Windows folder, not plughost); else "".
bool foreignModuleOf(const void* address, char* name, std::size_t size) {
  name[0] = '\0';
  HMODULE module = nullptr;
  wchar_t path[platform::kMaxPathSize] = {};
  if (!address ||
      !GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCWSTR>(address), &module) ||
      GetModuleFileNameW(module, path, platform::kMaxPathSize) == 0 ||
      !isForeignModule(module, path)) {
    return false;
  }
  const wchar_t* base = std::wcsrchr(path, L'\\');
  WideCharToMultiByte(CP_UTF8, 0, base ? base + 1 : path, -1, name, static_cast<int>(size), nullptr,
                      nullptr);
  name[size - 1] = '\0';
  return true;
}

// The module of a plug-in's that a fault came from: the one holding
// `origin`, or, for a fault raised inside the system's libraries on its
// behalf (RaiseException), the nearest return address into one among the
// words at the top of the faulting thread's stack, unless one into
// plughost comes first.
void faultingModule(const void* origin, const void* stack, char* name, std::size_t size) {
  if (foreignModuleOf(origin, name, size) || !stack) return;
  const HMODULE self = GetModuleHandleW(nullptr);
  const auto inPlughost = [self](const void* address) {
    HMODULE module = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              static_cast<LPCWSTR>(address), &module) &&
           module == self;
  };
  // A fault in plughost's own code is plughost's.
  if (inPlughost(origin)) return;
  MEMORY_BASIC_INFORMATION region = {};
  if (VirtualQuery(stack, &region, sizeof region) == 0 || region.State != MEM_COMMIT) return;
  const auto* word = static_cast<void* const*>(stack);
  const auto* end = reinterpret_cast<void* const*>(static_cast<const char*>(region.BaseAddress) +
                                                   region.RegionSize);
  // Only words that point at code can be return addresses.
  const auto isCode = [](const void* address) {
    MEMORY_BASIC_INFORMATION page = {};
    return VirtualQuery(address, &page, sizeof page) != 0 && page.State == MEM_COMMIT &&
           (page.Protect & (PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                            PAGE_EXECUTE_WRITECOPY)) != 0;
  };
  for (int i = 0; i < 512 && word + i < end; ++i) {
    if (!isCode(word[i])) continue;
    if (inPlughost(word[i]) || foreignModuleOf(word[i], name, size)) return;
  }
}

// The stack pointer of a fault's context.
const void* stackOf(const EXCEPTION_POINTERS* pointers) {
  const CONTEXT* context = pointers ? pointers->ContextRecord : nullptr;
  if (!context) return nullptr;
#if defined(_WIN64)
  return reinterpret_cast<const void*>(context->Rsp);
#else
  return reinterpret_cast<const void*>(context->Esp);
#endif
}

// The last C++ exception of GCC's 64-bit runtime that a module of a
// plug-in's threw, and on which thread: when it unwinds into a noexcept
// boundary of plughost's, plughost's runtime gives up on it without naming
// it.
std::atomic<DWORD> pluginThrowThread{0};
char pluginThrowModule[64];

// The fault being reported: filled by the thread it happened on, completed
// by whichever thread reports it.
PluginFault pendingFault;
const void* pendingOrigin = nullptr;
const void* pendingStack = nullptr;  // the faulting thread's stack pointer, when known
const PluginCall* pendingCall = nullptr;
// A thread of the guard's own, waiting from the start to report a stack
// overflow with a whole stack: the faulting thread has next to none left.
platform::Handle overflowSignal;  // an event; lives as long as the process

// [any thread] Makes the calling thread the one that reports; another one
// that faults meanwhile waits for the end, and a second fault of the
// reporting thread itself ends the process without a word more.
void claimReport() {
  const DWORD self = GetCurrentThreadId();
  DWORD none = 0;
  if (reportingThread.compare_exchange_strong(none, self)) return;
  if (none == self) TerminateProcess(GetCurrentProcess(), kPluginCrashedStatus);
  for (;;) Sleep(INFINITE);
}

// Completes the pending fault with the faulting thread's call (or else the
// module of the fault's origin), hands it to the reporter and ends.
[[noreturn]] void finishAndReport() {
  PluginFault& fault = pendingFault;
  if (!fault.what[0]) {
    std::snprintf(fault.what, sizeof fault.what, "crashed (exception 0x%08lX, %s)",
                  static_cast<unsigned long>(fault.exceptionCode),
                  exceptionName(fault.exceptionCode));
  }
  if (pendingCall) {
    pendingCall->describe(fault.call, sizeof fault.call);
  } else if (!fault.module[0]) {
    faultingModule(pendingOrigin, pendingStack, fault.module, sizeof fault.module);
  }
  reporter(fault, reporterContext);
  TerminateProcess(GetCurrentProcess(), kPluginCrashedStatus);
  for (;;) Sleep(INFINITE);
}

DWORD WINAPI reportOverflow(void*) {
  WaitForSingleObject(overflowSignal.get(), INFINITE);
  finishAndReport();
}

// [any thread, claimed] Reports the pending fault, which came from `origin`.
[[noreturn]] void reportPending(const void* origin) {
  pendingFault.thread = GetCurrentThreadId();
  pendingCall = currentCall();
  pendingOrigin = origin;
  if (pendingFault.exceptionCode == EXCEPTION_STACK_OVERFLOW && overflowSignal.valid() &&
      SetEvent(overflowSignal.get())) {
    for (;;) Sleep(INFINITE);
  }
  finishAndReport();
}

// [any thread] Ends the process for `fault`, whose `what` is set.
[[noreturn]] void endWith(const PluginFault& fault, const void* origin) {
  claimReport();
  pendingFault = fault;
  reportPending(origin);
}

// [any thread] Ends the process for an exception; little stack needed.
[[noreturn]] void endWithException(const EXCEPTION_POINTERS* pointers) {
  claimReport();
  const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
  pendingStack = stackOf(pointers);
  pendingFault.exceptionCode = record ? record->ExceptionCode : 0;
  reportPending(record ? record->ExceptionAddress : nullptr);
}

// [any thread] The process is lost.
LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* pointers) {
  endWithException(pointers);
}

// [any thread] First sight of every exception. A stack overflow ends the
// process at once, before the frame handlers of a deep stack are searched
// with the little stack that is left; a C++ exception that a plug-in's
// module throws is noted, for onTerminate.
LONG WINAPI onFirstSight(EXCEPTION_POINTERS* pointers) {
  if (!pointers || !pointers->ExceptionRecord) return EXCEPTION_CONTINUE_SEARCH;
  const DWORD code = pointers->ExceptionRecord->ExceptionCode;
  if (code == EXCEPTION_STACK_OVERFLOW) endWithException(pointers);
  if (code == kGccException) {
    char module[sizeof pluginThrowModule];
    faultingModule(pointers->ExceptionRecord->ExceptionAddress, stackOf(pointers), module,
                   sizeof module);
    if (module[0]) {
      std::memcpy(pluginThrowModule, module, sizeof module);
      pluginThrowThread = GetCurrentThreadId();
    } else if (pluginThrowThread.load() == GetCurrentThreadId()) {
      pluginThrowThread = 0;  // plughost's own, thrown since
    }
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

// [any thread] plughost's own runtime gives up on an exception: one that
// came out of a plug-in call through unwindingStopsHere, or a fault of
// plughost itself.
[[noreturn]] void onTerminate() {
  PluginFault fault = {};
  const std::type_info* type = abi::__cxa_current_exception_type();
  if (!type) {
    if (pluginThrowThread.load() == GetCurrentThreadId()) {
      std::snprintf(fault.what, sizeof fault.what, "threw a C++ exception");
      std::memcpy(fault.module, pluginThrowModule, sizeof fault.module);
    } else {
      std::snprintf(fault.what, sizeof fault.what, "called std::terminate");
    }
    endWith(fault, nullptr);
  }
  int status = 0;
  char* name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
  const char* said = "";
  try {
    throw;
  } catch (const std::exception& e) {
    said = e.what();
  } catch (...) {
  }
  std::snprintf(fault.what, sizeof fault.what, "threw a C++ exception (%s%s%s)",
                name ? name : type->name(), said[0] ? ": " : "", said);
  endWith(fault, nullptr);
}

// "terminate called after throwing an instance of 'T'\n  what():  W\n" as
// "threw a C++ exception (T: W)"; anything else as a call of std::terminate.
void describeTermination(char* what, std::size_t size) {
  terminateText[std::min(terminateLength, sizeof terminateText - 1)] = '\0';
  const char* type = std::strchr(terminateText, '\'');
  const char* typeEnd = type ? std::strchr(type + 1, '\'') : nullptr;
  if (!typeEnd) {
    std::snprintf(what, size, "called std::terminate");
    return;
  }
  const char* said = std::strstr(typeEnd, "what():  ");
  int saidLength = 0;
  if (said) {
    said += 9;
    saidLength = static_cast<int>(std::strcspn(said, "\r\n"));
  }
  std::snprintf(what, size, "threw a C++ exception (%.*s%s%.*s)",
                static_cast<int>(typeEnd - type - 1), type + 1, said ? ": " : "", saidLength,
                said ? said : "");
}

// [any thread] A module of the plug-in's asked to end the process.
[[noreturn]] void endByCall(const char* function, bool hasStatus, unsigned status,
                            const void* origin) {
  PluginFault fault = {};
  if (std::strcmp(function, "abort") == 0 && terminatingThread.load() == GetCurrentThreadId()) {
    describeTermination(fault.what, sizeof fault.what);
  } else if (hasStatus) {
    std::snprintf(fault.what, sizeof fault.what, "called %s(%u)", function, status);
  } else {
    std::snprintf(fault.what, sizeof fault.what, "called %s()", function);
  }
  endWith(fault, origin);
}

// Holds back the C++ runtime's termination lines (written with fputs,
// fwrite and fputc); true when the `length` bytes at `text` were held.
bool holdTerminateText(const char* text, std::size_t length) {
  if (!text) return false;
  const DWORD self = GetCurrentThreadId();
  if (terminatingThread.load() != self) {
    constexpr char kStart[] = "terminate called";
    if (length < sizeof kStart - 1 || std::memcmp(text, kStart, sizeof kStart - 1) != 0) {
      return false;
    }
    DWORD none = 0;
    if (!terminatingThread.compare_exchange_strong(none, self)) return false;
  }
  const std::size_t used = std::min(terminateLength, sizeof terminateText - 1);
  const std::size_t kept = std::min(length, sizeof terminateText - 1 - used);
  std::memcpy(terminateText + used, text, kept);
  terminateLength = used + kept;
  return true;
}

// The stand-ins for the ways to end the process, in every module of the
// plug-in's: the real function's address lands in `original...` once
// installed, for what passes through.
using ExitProcessProc = void(WINAPI*)(UINT);
using TerminateProcessProc = BOOL(WINAPI*)(HANDLE, UINT);
void* originalExitProcess = nullptr;
void* originalTerminateProcess = nullptr;

void WINAPI standInExitProcess(UINT status) {
  endByCall("ExitProcess", true, status, __builtin_return_address(0));
}

// Ending another process is none of plughost's business.
BOOL WINAPI standInTerminateProcess(HANDLE process, UINT status) {
  if (process != GetCurrentProcess() && GetProcessId(process) != GetCurrentProcessId()) {
    return reinterpret_cast<TerminateProcessProc>(originalTerminateProcess)(process, status);
  }
  endByCall("TerminateProcess", true, status, __builtin_return_address(0));
}

#define KEL_CRT_ENDINGS(family)                                                                \
  void* original##family##exit = nullptr;                                                      \
  void* original##family##_exit = nullptr;                                                     \
  void* original##family##_Exit = nullptr;                                                     \
  void* original##family##quick_exit = nullptr;                                                \
  void* original##family##abort = nullptr;                                                     \
  void* original##family##fputs = nullptr;                                                     \
  void* original##family##fwrite = nullptr;                                                    \
  void* original##family##fputc = nullptr;                                                     \
  void __cdecl standIn##family##exit(int status) {                                             \
    endByCall("exit", true, static_cast<unsigned>(status), __builtin_return_address(0));       \
  }                                                                                            \
  void __cdecl standIn##family##_exit(int status) {                                            \
    endByCall("_exit", true, static_cast<unsigned>(status), __builtin_return_address(0));      \
  }                                                                                            \
  void __cdecl standIn##family##_Exit(int status) {                                            \
    endByCall("_Exit", true, static_cast<unsigned>(status), __builtin_return_address(0));      \
  }                                                                                            \
  void __cdecl standIn##family##quick_exit(int status) {                                       \
    endByCall("quick_exit", true, static_cast<unsigned>(status), __builtin_return_address(0)); \
  }                                                                                            \
  void __cdecl standIn##family##abort() {                                                      \
    endByCall("abort", false, 0, __builtin_return_address(0));                                 \
  }                                                                                            \
  int __cdecl standIn##family##fputs(const char* text, FILE* stream) {                         \
    if (text && holdTerminateText(text, std::strlen(text))) return 0;                          \
    using Proc = int(__cdecl*)(const char*, FILE*);                                            \
    return reinterpret_cast<Proc>(original##family##fputs)(text, stream);                      \
  }                                                                                            \
  std::size_t __cdecl standIn##family##fwrite(const void* bytes, std::size_t size,             \
                                              std::size_t count, FILE* stream) {               \
    if (size != 0 && count <= SIZE_MAX / size &&                                               \
        holdTerminateText(static_cast<const char*>(bytes), size * count)) {                    \
      return count;                                                                            \
    }                                                                                          \
    using Proc = std::size_t(__cdecl*)(const void*, std::size_t, std::size_t, FILE*);          \
    return reinterpret_cast<Proc>(original##family##fwrite)(bytes, size, count, stream);       \
  }                                                                                            \
  int __cdecl standIn##family##fputc(int character, FILE* stream) {                            \
    const char text = static_cast<char>(character);                                            \
    if (terminatingThread.load() == GetCurrentThreadId() && holdTerminateText(&text, 1)) {     \
      return character & 0xFF;                                                                 \
    }                                                                                          \
    using Proc = int(__cdecl*)(int, FILE*);                                                    \
    return reinterpret_cast<Proc>(original##family##fputc)(character, stream);                 \
  }

KEL_CRT_ENDINGS(Msvcrt)
KEL_CRT_ENDINGS(Ucrt)

#define KEL_CRT_ENTRY(family, name)                                               \
  {                                                                               \
    ImportFamily::family, #name, reinterpret_cast<void*>(&standIn##family##name), \
        &original##family##name                                                   \
  }
#define KEL_CRT_ENTRIES(family)                                                            \
  KEL_CRT_ENTRY(family, exit), KEL_CRT_ENTRY(family, _exit), KEL_CRT_ENTRY(family, _Exit), \
      KEL_CRT_ENTRY(family, quick_exit), KEL_CRT_ENTRY(family, abort),                     \
      KEL_CRT_ENTRY(family, fputs), KEL_CRT_ENTRY(family, fwrite), KEL_CRT_ENTRY(family, fputc)

const ImportStandIn kEndings[] = {
    {ImportFamily::Kernel, "ExitProcess", reinterpret_cast<void*>(&standInExitProcess),
     &originalExitProcess},
    {ImportFamily::Kernel, "TerminateProcess", reinterpret_cast<void*>(&standInTerminateProcess),
     &originalTerminateProcess},
    KEL_CRT_ENTRIES(Msvcrt),
    KEL_CRT_ENTRIES(Ucrt)};

// The loader's notice of a library being loaded, before its DllMain runs.
struct LoaderText {
  USHORT length;  // in bytes
  USHORT capacity;
  PWSTR text;
};
struct LoadedLibrary {
  ULONG flags;
  const LoaderText* fullName;
  const LoaderText* baseName;
  PVOID base;
  ULONG size;
};
constexpr ULONG kLibraryLoaded = 1;
using LoaderNotice = VOID(CALLBACK*)(ULONG reason, const LoadedLibrary* library, PVOID context);
using RegisterLoaderNotice = LONG(NTAPI*)(ULONG flags, LoaderNotice notice, PVOID context,
                                          PVOID* cookie);

// [any thread, under the loader's lock] Points a library of the plug-in's at
// the stand-ins before any of its code runs.
VOID CALLBACK onLibraryLoaded(ULONG reason, const LoadedLibrary* library, PVOID) {
  if (reason != kLibraryLoaded || !library || !library->fullName || !library->fullName->text) {
    return;
  }
  wchar_t path[1024] = {};
  const std::size_t characters =
      std::min<std::size_t>(library->fullName->length / sizeof(wchar_t), std::size(path) - 1);
  std::memcpy(path, library->fullName->text, characters * sizeof(wchar_t));
  auto* module = static_cast<HMODULE>(library->base);
  if (isForeignModule(module, path)) patchModuleImports(module, kEndings, std::size(kEndings));
}

}  // namespace

void formatFaultLine(const PluginFault& fault, char* line, std::size_t size) {
  if (fault.call[0]) {
    std::snprintf(line, size, "plughost: error: the plug-in %s in %s\n", fault.what, fault.call);
  } else if (fault.module[0]) {
    std::snprintf(line, size, "plughost: error: '%s' %s outside any call into a plug-in\n",
                  fault.module, fault.what);
  } else {
    // No plug-in call runs and no module of a plug-in's is to blame:
    // plughost itself.
    std::snprintf(line, size, "plughost: error: %s outside any call into a plug-in\n", fault.what);
  }
}

// [any thread] One line through the raw handle (no locks, no allocation),
// the temporary files of unfinished writes removed, then out without running
// anything else of the process.
void reportFaultLine(const PluginFault& fault, void*) {
  char line[384];
  formatFaultLine(fault, line, sizeof line);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(std::strlen(line)), &written,
            nullptr);
  removeTemporaryFiles();
  TerminateProcess(GetCurrentProcess(), kPluginCrashedStatus);
}

void installCrashHandler() {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(onUnhandledException);
  AddVectoredExceptionHandler(1, onFirstSight);
  overflowSignal.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  if (overflowSignal.valid()) {
    // The reporter runs for the process's life; only its handle goes here.
    const platform::Handle reporter(CreateThread(nullptr, 0, reportOverflow, nullptr, 0, nullptr));
    if (!reporter.valid()) overflowSignal.reset();
  }
  std::set_terminate(onTerminate);
  ULONG reserve = kHandlerStack;
  SetThreadStackGuarantee(&reserve);
  TlsSetValue(reserveSlot, reinterpret_cast<void*>(1));
  resolveImportOriginals(kEndings, std::size(kEndings));
  patchForeignModules(kEndings, std::size(kEndings));
  const auto registerNotice = reinterpret_cast<RegisterLoaderNotice>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrRegisterDllNotification")));
  PVOID cookie = nullptr;
  if (registerNotice) registerNotice(0, onLibraryLoaded, nullptr, &cookie);
}

void endIfThrownByPlugin(const std::exception& exception) {
  // The exception's type lives with the runtime that made the object.
  const std::type_info& type = typeid(exception);
  PluginFault fault = {};
  if (!foreignModuleOf(&type, fault.module, sizeof fault.module)) return;
  int status = 0;
  char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::snprintf(fault.what, sizeof fault.what, "threw a C++ exception (%s: %s)",
                name ? name : type.name(), exception.what());
  endWith(fault, &type);
}

void setFaultReporter(FaultReporter newReporter, void* context) {
  reporterContext = context;
  reporter = newReporter;
}

PluginCall::PluginCall(const char* name) : name_(name), opcode_(-1) {
  enter();
}

PluginCall::PluginCall(VstInt32 opcode) : name_(nullptr), opcode_(opcode) {
  enter();
}

// [any thread] Cheap: two thread-slot reads and a write (the thread's last
// error is kept for the caller).
void PluginCall::enter() {
  const DWORD error = GetLastError();
  previous_ = static_cast<const PluginCall*>(TlsGetValue(callSlot));
  if (!TlsGetValue(reserveSlot)) {
    // A thread's first call: stack kept back for the handler of its faults.
    ULONG reserve = kHandlerStack;
    SetThreadStackGuarantee(&reserve);
    TlsSetValue(reserveSlot, reinterpret_cast<void*>(1));
  }
  TlsSetValue(callSlot, const_cast<PluginCall*>(this));
  SetLastError(error);
}

PluginCall::~PluginCall() {
  TlsSetValue(callSlot, const_cast<PluginCall*>(previous_));
}

void PluginCall::describe(char* text, std::size_t size) const {
  if (name_) {
    std::snprintf(text, size, "%s", name_);
  } else if (opcode_ >= 0 && static_cast<std::size_t>(opcode_) < std::size(kOpcodeNames) &&
             kOpcodeNames[opcode_]) {
    std::snprintf(text, size, "%s", kOpcodeNames[opcode_]);
  } else {
    std::snprintf(text, size, "dispatcher opcode %ld", static_cast<long>(opcode_));
  }
}

}  // namespace plughost
