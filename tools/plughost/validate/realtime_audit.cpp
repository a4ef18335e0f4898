#include "validate/realtime_audit.h"

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "hosting/import_patch.h"
#include "platform/path_size.h"
#include "platform/platform.h"

namespace plughost {
namespace {

// The thread whose calls count now; 0 when none.
std::atomic<DWORD> auditedThread{0};
// Written only by the audited thread, read after it left the audit.
AuditCounts counted;
bool found = false;
const char* foundFunction = "";
AuditKind foundKind = AuditKind::Allocation;
void* foundCaller = nullptr;

// [any thread] Called first by every stand-in: cheap when not audited.
void noteCall(const char* function, AuditKind kind, void* caller) {
  const DWORD audited = auditedThread.load(std::memory_order_relaxed);
  if (audited == 0 || audited != GetCurrentThreadId()) return;
  switch (kind) {
    case AuditKind::Allocation:
      ++counted.allocations;
      break;
    case AuditKind::Lock:
      ++counted.locks;
      break;
    case AuditKind::Io:
      ++counted.io;
      break;
  }
  if (!found) {
    found = true;
    foundFunction = function;
    foundKind = kind;
    foundCaller = caller;
  }
}

using Family = ImportFamily;

// The stand-ins: same signature and calling convention as the real
// function, whose address `original<family><name>` holds once installed.
#define KEL_STAND_IN(family, convention, ret, name, kind, params, args) \
  using Proc##family##name = ret(convention*) params;                   \
  Proc##family##name original##family##name = nullptr;                  \
  ret convention standIn##family##name params {                         \
    noteCall(#name, AuditKind::kind, __builtin_return_address(0));      \
    return original##family##name args;                                 \
  }

#define KEL_KERNEL_FUNCTIONS(X)                                                                   \
  X(Kernel, WINAPI, LPVOID, HeapAlloc, Allocation, (HANDLE h, DWORD f, SIZE_T n), (h, f, n))      \
  X(Kernel, WINAPI, BOOL, HeapFree, Allocation, (HANDLE h, DWORD f, LPVOID p), (h, f, p))         \
  X(Kernel, WINAPI, LPVOID, HeapReAlloc, Allocation, (HANDLE h, DWORD f, LPVOID p, SIZE_T n),     \
    (h, f, p, n))                                                                                 \
  X(Kernel, WINAPI, HLOCAL, LocalAlloc, Allocation, (UINT f, SIZE_T n), (f, n))                   \
  X(Kernel, WINAPI, HLOCAL, LocalFree, Allocation, (HLOCAL p), (p))                               \
  X(Kernel, WINAPI, HGLOBAL, GlobalAlloc, Allocation, (UINT f, SIZE_T n), (f, n))                 \
  X(Kernel, WINAPI, HGLOBAL, GlobalFree, Allocation, (HGLOBAL p), (p))                            \
  X(Kernel, WINAPI, LPVOID, VirtualAlloc, Allocation, (LPVOID p, SIZE_T n, DWORD t, DWORD f),     \
    (p, n, t, f))                                                                                 \
  X(Kernel, WINAPI, BOOL, VirtualFree, Allocation, (LPVOID p, SIZE_T n, DWORD t), (p, n, t))      \
  X(Kernel, WINAPI, void, EnterCriticalSection, Lock, (LPCRITICAL_SECTION c), (c))                \
  X(Kernel, WINAPI, void, AcquireSRWLockExclusive, Lock, (PSRWLOCK l), (l))                       \
  X(Kernel, WINAPI, void, AcquireSRWLockShared, Lock, (PSRWLOCK l), (l))                          \
  X(Kernel, WINAPI, BOOL, SleepConditionVariableCS, Lock,                                         \
    (PCONDITION_VARIABLE v, PCRITICAL_SECTION c, DWORD t), (v, c, t))                             \
  X(Kernel, WINAPI, BOOL, SleepConditionVariableSRW, Lock,                                        \
    (PCONDITION_VARIABLE v, PSRWLOCK l, DWORD t, ULONG f), (v, l, t, f))                          \
  X(Kernel, WINAPI, DWORD, WaitForSingleObject, Lock, (HANDLE h, DWORD t), (h, t))                \
  X(Kernel, WINAPI, DWORD, WaitForSingleObjectEx, Lock, (HANDLE h, DWORD t, BOOL a), (h, t, a))   \
  X(Kernel, WINAPI, DWORD, WaitForMultipleObjects, Lock,                                          \
    (DWORD n, const HANDLE* h, BOOL all, DWORD t), (n, h, all, t))                                \
  X(Kernel, WINAPI, DWORD, WaitForMultipleObjectsEx, Lock,                                        \
    (DWORD n, const HANDLE* h, BOOL all, DWORD t, BOOL a), (n, h, all, t, a))                     \
  X(Kernel, WINAPI, DWORD, SignalObjectAndWait, Lock, (HANDLE s, HANDLE w, DWORD t, BOOL a),      \
    (s, w, t, a))                                                                                 \
  X(Kernel, WINAPI, void, Sleep, Lock, (DWORD t), (t))                                            \
  X(Kernel, WINAPI, DWORD, SleepEx, Lock, (DWORD t, BOOL a), (t, a))                              \
  X(Kernel, WINAPI, HANDLE, CreateFileA, Io,                                                      \
    (LPCSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t),           \
    (n, a, s, sa, c, f, t))                                                                       \
  X(Kernel, WINAPI, HANDLE, CreateFileW, Io,                                                      \
    (LPCWSTR n, DWORD a, DWORD s, LPSECURITY_ATTRIBUTES sa, DWORD c, DWORD f, HANDLE t),          \
    (n, a, s, sa, c, f, t))                                                                       \
  X(Kernel, WINAPI, BOOL, ReadFile, Io, (HANDLE h, LPVOID b, DWORD n, LPDWORD d, LPOVERLAPPED o), \
    (h, b, n, d, o))                                                                              \
  X(Kernel, WINAPI, BOOL, WriteFile, Io,                                                          \
    (HANDLE h, LPCVOID b, DWORD n, LPDWORD d, LPOVERLAPPED o), (h, b, n, d, o))                   \
  X(Kernel, WINAPI, BOOL, FlushFileBuffers, Io, (HANDLE h), (h))                                  \
  X(Kernel, WINAPI, BOOL, WriteConsoleA, Io,                                                      \
    (HANDLE h, const VOID* b, DWORD n, LPDWORD d, LPVOID r), (h, b, n, d, r))                     \
  X(Kernel, WINAPI, BOOL, WriteConsoleW, Io,                                                      \
    (HANDLE h, const VOID* b, DWORD n, LPDWORD d, LPVOID r), (h, b, n, d, r))                     \
  X(Kernel, WINAPI, void, OutputDebugStringA, Io, (LPCSTR s), (s))                                \
  X(Kernel, WINAPI, void, OutputDebugStringW, Io, (LPCWSTR s), (s))

#define KEL_NTDLL_FUNCTIONS(X)                                                                 \
  X(Ntdll, NTAPI, PVOID, RtlAllocateHeap, Allocation, (PVOID h, ULONG f, SIZE_T n), (h, f, n)) \
  X(Ntdll, NTAPI, BOOLEAN, RtlFreeHeap, Allocation, (PVOID h, ULONG f, PVOID p), (h, f, p))    \
  X(Ntdll, NTAPI, PVOID, RtlReAllocateHeap, Allocation, (PVOID h, ULONG f, PVOID p, SIZE_T n), \
    (h, f, p, n))                                                                              \
  X(Ntdll, NTAPI, LONG, RtlEnterCriticalSection, Lock, (PVOID c), (c))

// The C runtime's, once for msvcrt and once for the universal runtime.
#define KEL_CRT_FUNCTIONS(X, family)                                                          \
  X(family, __cdecl, void*, malloc, Allocation, (size_t n), (n))                              \
  X(family, __cdecl, void, free, Allocation, (void* p), (p))                                  \
  X(family, __cdecl, void*, calloc, Allocation, (size_t n, size_t s), (n, s))                 \
  X(family, __cdecl, void*, realloc, Allocation, (void* p, size_t n), (p, n))                 \
  X(family, __cdecl, void*, _aligned_malloc, Allocation, (size_t n, size_t a), (n, a))        \
  X(family, __cdecl, void, _aligned_free, Allocation, (void* p), (p))                         \
  X(family, __cdecl, FILE*, fopen, Io, (const char* n, const char* m), (n, m))                \
  X(family, __cdecl, size_t, fwrite, Io, (const void* b, size_t s, size_t n, FILE* f),        \
    (b, s, n, f))                                                                             \
  X(family, __cdecl, size_t, fread, Io, (void* b, size_t s, size_t n, FILE* f), (b, s, n, f)) \
  X(family, __cdecl, int, fputs, Io, (const char* s, FILE* f), (s, f))                        \
  X(family, __cdecl, int, fputc, Io, (int c, FILE* f), (c, f))                                \
  X(family, __cdecl, int, puts, Io, (const char* s), (s))                                     \
  X(family, __cdecl, int, fflush, Io, (FILE * f), (f))                                        \
  X(family, __cdecl, int, vfprintf, Io, (FILE * f, const char* t, va_list a), (f, t, a))      \
  X(family, __cdecl, int, _write, Io, (int d, const void* b, unsigned n), (d, b, n))          \
  X(family, __cdecl, int, _read, Io, (int d, void* b, unsigned n), (d, b, n))

KEL_KERNEL_FUNCTIONS(KEL_STAND_IN)
KEL_NTDLL_FUNCTIONS(KEL_STAND_IN)
KEL_CRT_FUNCTIONS(KEL_STAND_IN, Msvcrt)
KEL_CRT_FUNCTIONS(KEL_STAND_IN, Ucrt)

#define KEL_TABLE_ENTRY(family, convention, ret, name, kind, params, args) \
  {Family::family, #name, reinterpret_cast<void*>(&standIn##family##name), \
   reinterpret_cast<void**>(&original##family##name)},

const ImportStandIn kStandIns[] = {
    KEL_KERNEL_FUNCTIONS(KEL_TABLE_ENTRY) KEL_NTDLL_FUNCTIONS(KEL_TABLE_ENTRY)
        KEL_CRT_FUNCTIONS(KEL_TABLE_ENTRY, Msvcrt) KEL_CRT_FUNCTIONS(KEL_TABLE_ENTRY, Ucrt)};

}  // namespace

const char* auditKindName(AuditKind kind) {
  switch (kind) {
    case AuditKind::Allocation:
      return "heap allocation or free";
    case AuditKind::Lock:
      return "wait or lock";
    case AuditKind::Io:
      return "file or console I/O";
  }
  return "?";
}

int installRealtimeAudit() {
  static int patched = -1;
  if (patched >= 0) return patched;
  resolveImportOriginals(kStandIns, std::size(kStandIns));
  patched = patchForeignModules(kStandIns, std::size(kStandIns));
  return patched;
}

void beginAudit() {
  auditedThread.store(GetCurrentThreadId(), std::memory_order_relaxed);
}

void endAudit() {
  auditedThread.store(0, std::memory_order_relaxed);
}

AuditCounts auditCounts() {
  return counted;
}

AuditFinding firstAuditFinding() {
  AuditFinding finding;
  finding.found = found;
  if (!found) return finding;
  finding.function = foundFunction;
  finding.kind = foundKind;
  char path[platform::kMaxPathSize] = {};
  void* const module = platform::moduleAt(foundCaller);
  // A null module would name the program itself.
  if (module != nullptr && platform::moduleFileName(module, path, sizeof path)) {
    const char* name = std::strrchr(path, '\\');
    finding.module = name ? name + 1 : path;
  } else {
    finding.module = "an unknown module";
  }
  return finding;
}

}  // namespace plughost
