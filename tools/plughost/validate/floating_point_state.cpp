#include "validate/floating_point_state.h"

#include <xmmintrin.h>

#include "validate/check_context.h"

namespace plughost {

FloatingPointState readFloatingPointState() {
  FloatingPointState state;
  state.mxcsr = _mm_getcsr() & kMxcsrControlBits;
#if defined(__i386__)
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  state.x87 = word & kX87ControlBits;
#endif
  return state;
}

void restoreFloatingPointState(const FloatingPointState& state) {
  _mm_setcsr((_mm_getcsr() & ~kMxcsrControlBits) | state.mxcsr);
#if defined(__i386__)
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  word = static_cast<std::uint16_t>((word & ~kX87ControlBits) | state.x87);
  __asm__ volatile("fldcw %0" : : "m"(word));
#endif
}

namespace {

// The named bits among those that differ.
std::string changedBits(std::uint32_t before, std::uint32_t after,
                        const std::pair<std::uint32_t, const char*>* names, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if ((before ^ after) & names[i].first) {
      text += std::string(text.empty() ? "" : ", ") + names[i].second;
    }
  }
  return text.empty() ? "" : " (" + text + ")";
}

}  // namespace

std::string describeChange(const FloatingPointState& before, const FloatingPointState& after) {
  static const std::pair<std::uint32_t, const char*> kMxcsr[] = {{0x8000u, "flush-to-zero"},
                                                                 {0x0040u, "denormals-are-zero"},
                                                                 {0x6000u, "rounding"},
                                                                 {0x1F80u, "exception masks"}};
  static const std::pair<std::uint32_t, const char*> kX87[] = {
      {0x0300u, "precision"}, {0x0C00u, "rounding"}, {0x003Fu, "exception masks"}};
  std::string text;
  if (before.mxcsr != after.mxcsr) {
    text = format("MXCSR 0x%04X became 0x%04X", before.mxcsr, after.mxcsr) +
           changedBits(before.mxcsr, after.mxcsr, kMxcsr, 4);
  }
  if (before.x87 != after.x87) {
    text += std::string(text.empty() ? "" : " and ") +
            format("the x87 control word 0x%04X became 0x%04X", before.x87, after.x87) +
            changedBits(before.x87, after.x87, kX87, 3);
  }
  return text;
}

}  // namespace plughost
