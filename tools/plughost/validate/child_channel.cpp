#include "validate/child_channel.h"

namespace plughost {

ChildCallSlot* callSlotOf(ChildChannel& channel, std::uint32_t thread) {
  for (ChildCallSlot& slot : channel.calls) {
    std::uint32_t owner = __atomic_load_n(&slot.thread, __ATOMIC_ACQUIRE);
    if (owner == thread) return &slot;
    // A free slot: taken unless another thread takes it first.
    if (owner == 0 && __atomic_compare_exchange_n(&slot.thread, &owner, thread, false,
                                                  __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE)) {
      return &slot;
    }
    if (owner == thread) return &slot;
  }
  return nullptr;
}

const char* lastCallOf(const ChildChannel& channel, std::uint32_t thread) {
  for (const ChildCallSlot& slot : channel.calls) {
    if (thread != 0 && slot.thread == thread) return slot.call;
  }
  return channel.calls[0].call;
}

}  // namespace plughost
