// Linked into each of our DLLs so that loading and freeing one gives back
// every handle and byte it took.
//
// The statically linked C++ runtime leaves two kinds of remains in a process
// that frees the library:
// - its thread library keeps a record (a duplicate of the thread's handle and
//   an event) for every foreign thread that enters pthread_once or a static's
//   guard, freed only when that thread ends, which a host's thread outlives
//   the library by; the 32-bit unwinder enters pthread_once at every load,
//   and every thrown exception reads its thread's data through a thread key;
// - its emergency exception buffer (tens of KiB), never freed.
// So the once and the guard are served here by handle-free Win32 locks, the
// thread keys by fiber-local storage, whose slots this library frees when it
// goes (the link wraps the pthread functions; defining all three guard
// functions keeps the runtime's own out), and the buffer is freed too.
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

// Thread keys: few are ever made (the runtime's thread-local data takes one),
// each a fiber-local slot whose callback passes the value to the key's
// destructor at thread end, and for every thread when the slot is freed.
constexpr unsigned kMaxKeys = 4;
struct Key {
  DWORD slot = FLS_OUT_OF_INDEXES;
  void (*destructor)(void*) = nullptr;
};
SRWLOCK keyLock = SRWLOCK_INIT;
Key keys[kMaxKeys];

template <unsigned N>
void WINAPI destroyValue(void* value) {
  if (value != nullptr && keys[N].destructor != nullptr) keys[N].destructor(value);
}
const PFLS_CALLBACK_FUNCTION kDestroyers[kMaxKeys] = {&destroyValue<0>, &destroyValue<1>,
                                                      &destroyValue<2>, &destroyValue<3>};

// The key's slot, or FLS_OUT_OF_INDEXES for a key not made here.
DWORD slotOf(unsigned key) {
  return key >= 1 && key <= kMaxKeys ? keys[key - 1].slot : FLS_OUT_OF_INDEXES;
}

// As the library is freed: no slot may call back into its code later, and
// the runtime's exception buffer goes back to the heap.
struct ReleaseAtUnload {
  ~ReleaseAtUnload() {
    for (Key& key : keys) {
      if (key.slot != FLS_OUT_OF_INDEXES) FlsFree(key.slot);
      key.slot = FLS_OUT_OF_INDEXES;
    }
    __gnu_cxx::__freeres();
  }
} releaseAtUnload;

}  // namespace

// [any thread] The runtime's once (pthread_once_t is a long: 0 not run, 1 run).
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

// [any thread] 1: the caller initialises the static and then calls release (or
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

// [any thread] pthread_key_t is an unsigned; keys made here count from 1.
extern "C" int __wrap_pthread_key_create(unsigned* key, void (*destructor)(void*)) {
  if (key == nullptr) return EINVAL;
  AcquireSRWLockExclusive(&keyLock);
  int result = EAGAIN;
  for (unsigned i = 0; i < kMaxKeys; ++i) {
    if (keys[i].slot != FLS_OUT_OF_INDEXES) continue;
    keys[i].destructor = destructor;
    keys[i].slot = FlsAlloc(kDestroyers[i]);
    if (keys[i].slot != FLS_OUT_OF_INDEXES) {
      *key = i + 1;
      result = 0;
    }
    break;
  }
  ReleaseSRWLockExclusive(&keyLock);
  return result;
}

// [any thread] Runs no destructor for the values still held, as pthread
// keys do not; the slot's callback is cleared first.
extern "C" int __wrap_pthread_key_delete(unsigned key) {
  AcquireSRWLockExclusive(&keyLock);
  const DWORD slot = slotOf(key);
  int result = EINVAL;
  if (slot != FLS_OUT_OF_INDEXES) {
    keys[key - 1].destructor = nullptr;
    FlsFree(slot);
    keys[key - 1].slot = FLS_OUT_OF_INDEXES;
    result = 0;
  }
  ReleaseSRWLockExclusive(&keyLock);
  return result;
}

// [any thread] Null for an unknown key.
extern "C" void* __wrap_pthread_getspecific(unsigned key) {
  const DWORD slot = slotOf(key);
  return slot != FLS_OUT_OF_INDEXES ? FlsGetValue(slot) : nullptr;
}

extern "C" int __wrap_pthread_setspecific(unsigned key, const void* value) {
  const DWORD slot = slotOf(key);
  if (slot == FLS_OUT_OF_INDEXES) return EINVAL;
  return FlsSetValue(slot, const_cast<void*>(value)) ? 0 : ENOMEM;
}
