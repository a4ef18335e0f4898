// Rounding of a real product to an engine value: halves go away from zero,
// and anything beyond the signed 32-bit range saturates instead of wrapping.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace ovu {

// x + 0.5 (or x - 0.5 for x <= 0) truncated toward zero, still as a double
// so that offsets can be added before the result is narrowed.
inline double roundHalfAwayFromZero(double x) {
  return std::trunc(x > 0.0 ? x + 0.5 : x - 0.5);
}

// Narrows a whole number to int32, clamping to the nearest end; not-a-number
// gives 0, the neutral answer.
inline std::int32_t saturateToInt32(double whole) {
  if (std::isnan(whole)) return 0;
  if (whole >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (whole <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(whole);
}

inline std::int32_t roundToEngineValue(double x) {
  return saturateToInt32(roundHalfAwayFromZero(x));
}

}  // namespace ovu
