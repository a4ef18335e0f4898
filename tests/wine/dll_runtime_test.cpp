// The runtime services every DLL of ours takes from dll_runtime.cpp (linked
// into this test the same way): static guards, once routines and thread keys
// keep their C++ and pthread meanings.
#include <windows.h>

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

std::atomic<int> constructions{0};

struct SlowToMake {
  SlowToMake() {
    ++constructions;
    Sleep(50);  // every other thread arrives meanwhile
    value = 42;
  }
  int value = 0;
};

int slowValue() {
  static SlowToMake made;
  return made.value;
}

TEST(DllRuntime, StaticIsMadeOnceAndOthersWaitForIt) {
  std::vector<int> seen(8, -1);
  std::vector<std::thread> threads;
  for (int& value : seen) threads.emplace_back([&value] { value = slowValue(); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(constructions.load(), 1);
  for (int value : seen) EXPECT_EQ(value, 42);
}

int attempts = 0;
struct FailsFirst {
  FailsFirst() {
    if (++attempts == 1) throw std::runtime_error("first attempt");
  }
};

TEST(DllRuntime, StaticWhoseMakingThrewIsMadeAgain) {
  auto make = [] { static FailsFirst made; };
  EXPECT_THROW(make(), std::runtime_error);
  make();  // waits forever if the failed attempt still holds the guard
  make();
  EXPECT_EQ(attempts, 2);
}

pthread_once_t outer = PTHREAD_ONCE_INIT;
pthread_once_t inner = PTHREAD_ONCE_INIT;
int outerRuns = 0;
int innerRuns = 0;

TEST(DllRuntime, OnceRoutinesRunOnceAndMayNest) {
  auto runInner = [] { ++innerRuns; };
  static void (*const innerRoutine)() = runInner;
  auto runOuter = [] {
    ++outerRuns;
    pthread_once(&inner, innerRoutine);  // on the same thread: no self-wait
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) threads.emplace_back([&] { pthread_once(&outer, runOuter); });
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(outerRuns, 1);
  EXPECT_EQ(innerRuns, 1);
}

std::atomic<int> destroyed{0};
std::atomic<void*> destroyedValue{nullptr};

TEST(DllRuntime, ThreadKeyHoldsAValuePerThreadAndDestroysItAtThreadEnd) {
  pthread_key_t key = 0;
  ASSERT_EQ(pthread_key_create(&key,
                               [](void* value) {
                                 ++destroyed;
                                 destroyedValue = value;
                               }),
            0);
  int mine = 0, theirs = 0;
  ASSERT_EQ(pthread_setspecific(key, &mine), 0);
  std::thread([&] {
    EXPECT_EQ(pthread_getspecific(key), nullptr);
    pthread_setspecific(key, &theirs);
    EXPECT_EQ(pthread_getspecific(key), &theirs);
  }).join();
  EXPECT_EQ(pthread_getspecific(key), &mine);
  EXPECT_EQ(destroyed.load(), 1);
  EXPECT_EQ(destroyedValue.load(), &theirs);
  EXPECT_EQ(pthread_key_delete(key), 0);
  EXPECT_EQ(destroyed.load(), 1) << "deleting a key destroys no value";
}

}  // namespace
