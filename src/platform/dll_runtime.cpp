// Linked into each of our DLLs so that loading and freeing one gives back
// every handle and byte it took.
//
// The statically linked C++ runtime leaves two kinds of remains in a process
// that frees the library:
// - its thread library keeps a record (a duplicate of the thread's handle and
//   an event) for every foreign thread that enters pthread_once or a static's
//   guard, freed only when that thread ends, which a host's thread outlives
//   the library by; the 32-bit unwinder enters pthread_once at every load;
// - its emergency exception buffer (tens of KiB), never freed.
// So the once and the guard are served here by handle-free Win32 locks (the
// link wraps pthread_once; defining all three guard functions keeps the
// runtime's own out), and the buffer is freed when the library goes.
#include <windows.h>

#include <cerrno>
#include <cstdint>

namespace __gnu_cxx {
void __freeres() noexcept;  // the runtime's own release of its buffers
}

namespace {

// One lock serialises every once routine. A routine that runs another once
// on its own thread runs it directly instead of waiting for itself.
SRWLOCK onceLock = SRWLOCK_INIT;
volatile LONG onceOwner = 0;  // id of the thread holding onceLock, or 0

class OnceTurn {
 public:
  OnceTurn()
      : nested(InterlockedCompareExchange(&onceOwner, 0, 0) ==
               static_cast<LONG>(GetCurrentThreadId())) {
    if (nested) return;
    AcquireSRWLockExclusive(&onceLock);
    InterlockedExchange(&onceOwner, static_cast<LONG>(GetCurrentThreadId()));
  }
  // Also when the routine throws: the once stays undone and may be retried.
  ~OnceTurn() {
    if (nested) return;
    InterlockedExchange(&onceOwner, 0);
    ReleaseSRWLockExclusive(&onceLock);
  }
  OnceTurn(const OnceTurn&) = delete;
  OnceTurn& operator=(const OnceTurn&) = delete;

 private:
  const bool nested;
};

// The guard of a function-local static: its first byte says "initialised";
// the second, "being initialised by some thread".
SRWLOCK guardLock = SRWLOCK_INIT;
CONDITION_VARIABLE guardChanged = CONDITION_VARIABLE_INIT;

unsigned char* bytesOf(std::int64_t* guard) {
  return reinterpret_cast<unsigned char*>(guard);
}

// Frees the runtime's exception buffer as the library is freed.
struct BufferRelease {
  ~BufferRelease() { __gnu_cxx::__freeres(); }
} bufferRelease;

}  // namespace

// Any thread. The runtime's once (pthread_once_t is a long: 0 not run, 1 run).
extern "C" int __wrap_pthread_once(volatile long* once, void (*routine)()) {
  if (once == nullptr || routine == nullptr) return EINVAL;
  if (InterlockedCompareExchange(once, 0, 0) == 1) return 0;
  OnceTurn turn;
  if (*once != 1) {
    routine();
    InterlockedExchange(once, 1);
  }
  return 0;
}

// Any thread. 1: the caller initialises the static and then calls release (or
// abort if it throws); 0: the static is ready. Waits while another thread
// initialises it.
extern "C" int __cxa_guard_acquire(std::int64_t* guard) {
  unsigned char* bytes = bytesOf(guard);
  if (__atomic_load_n(&bytes[0], __ATOMIC_ACQUIRE) != 0) return 0;
  AcquireSRWLockExclusive(&guardLock);
  int mustInitialise = 0;
  for (;;) {
    if (__atomic_load_n(&bytes[0], __ATOMIC_ACQUIRE) != 0) break;
    if (bytes[1] == 0) {
      bytes[1] = 1;
      mustInitialise = 1;
      break;
    }
    SleepConditionVariableSRW(&guardChanged, &guardLock, INFINITE, 0);
  }
  ReleaseSRWLockExclusive(&guardLock);
  return mustInitialise;
}

extern "C" void __cxa_guard_release(std::int64_t* guard) {
  unsigned char* bytes = bytesOf(guard);
  AcquireSRWLockExclusive(&guardLock);
  bytes[1] = 0;
  __atomic_store_n(&bytes[0], 1, __ATOMIC_RELEASE);
  ReleaseSRWLockExclusive(&guardLock);
  WakeAllConditionVariable(&guardChanged);
}

extern "C" void __cxa_guard_abort(std::int64_t* guard) {
  AcquireSRWLockExclusive(&guardLock);
  bytesOf(guard)[1] = 0;
  ReleaseSRWLockExclusive(&guardLock);
  WakeAllConditionVariable(&guardChanged);
}
