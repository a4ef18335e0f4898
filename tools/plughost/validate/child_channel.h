// The memory a check's child process shares with the validator: the call
// each of the child's threads is making (left behind when it crashes or
// hangs), what ended the child and on which thread, and the result lines it
// has written so far. The validator creates it as an inheritable file
// mapping and hands its handle to the child on the command line.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plughost {

// The last call of one thread; a thread takes the first free slot with its
// first call and keeps it.
struct ChildCallSlot {
  std::uint32_t thread;  // 0: free
  char call[252];        // NUL-terminated; rewritten before each call
};
static_assert(sizeof(ChildCallSlot) == 256, "ChildCallSlot size");

constexpr int kChildCallSlots = 8;

struct ChildChannel {
  // Slot 0 belongs to the thread that runs the check, from its first call.
  ChildCallSlot calls[kChildCallSlots];
  std::uint32_t endedThread;  // the thread that crashed or ended the child; 0 unknown
  char ending[252];           // how the plug-in ended the child when no exception did:
                              // "called ExitProcess(0)", "threw a C++ exception (...)"
  std::int32_t resultLength;  // bytes used in `results`
  char results[64 * 1024 - kChildCallSlots * 256 - 256 -
               4];  // "FAIL text\n", "NOTE text\n", "FIGURE name value\n", "SKIP text\n"
};
static_assert(sizeof(ChildChannel) == 64 * 1024, "ChildChannel size");
static_assert(offsetof(ChildChannel, calls) == 0, "ChildChannel calls");
static_assert(offsetof(ChildChannel, endedThread) == kChildCallSlots * 256,
              "ChildChannel endedThread");
static_assert(offsetof(ChildChannel, ending) == kChildCallSlots * 256 + 4, "ChildChannel ending");
static_assert(offsetof(ChildChannel, resultLength) == kChildCallSlots * 256 + 256,
              "ChildChannel resultLength");
static_assert(offsetof(ChildChannel, results) == kChildCallSlots * 256 + 260,
              "ChildChannel results");

// The slot of the calling thread, taken on its first call; null when every
// slot is taken by other threads. `thread` is the caller's thread id.
ChildCallSlot* callSlotOf(ChildChannel& channel, std::uint32_t thread);

// The last call of `thread`, or of the check's own thread when `thread` is 0
// or made none.
const char* lastCallOf(const ChildChannel& channel, std::uint32_t thread);

}  // namespace plughost
