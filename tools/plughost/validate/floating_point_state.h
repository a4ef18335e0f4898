// The floating-point control state of the calling thread that a host sets
// and a plug-in must leave as it found it: MXCSR's rounding, flush-to-zero,
// denormals-are-zero and exception-mask bits, and on 32-bit x86 the x87
// control word (precision, rounding, masks). Status flags are not state a
// host relies on, so they are left out. Threads differ (under Wine a thread
// the program starts has x87 0x27F, the main thread 0x37F), so a state is
// only ever compared with the same thread's.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

struct FloatingPointState {
  std::uint32_t mxcsr = 0;  // control bits only
  std::uint16_t x87 = 0;    // control bits only; 0 on 64-bit
};

constexpr std::uint32_t kMxcsrControlBits = 0xFFC0u;
// Bit 6 is reserved and reads as 1; kept so the words print as the
// system shows them (0x037F).
constexpr std::uint16_t kX87ControlBits = 0x1F7Fu;

// [any thread] The calling thread's state.
FloatingPointState readFloatingPointState();
// [any thread] Puts the calling thread's control bits back to `state`.
void restoreFloatingPointState(const FloatingPointState& state);

inline bool operator==(const FloatingPointState& a, const FloatingPointState& b) {
  return a.mxcsr == b.mxcsr && a.x87 == b.x87;
}
inline bool operator!=(const FloatingPointState& a, const FloatingPointState& b) {
  return !(a == b);
}

// "MXCSR 0x1F80 became 0x9FC0 (flush-to-zero, denormals-are-zero)", and the
// x87 word likewise when it changed.
std::string describeChange(const FloatingPointState& before, const FloatingPointState& after);

}  // namespace plughost
