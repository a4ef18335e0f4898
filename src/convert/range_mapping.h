// The arithmetic both converters share: where an engine value sits between
// the real bounds and back, and the mapping between 0..1 and an integer range.
#pragma once

#include <cstdint>

#include "convert/fixed_point_rounding.h"
#include "convert/power_of_ten.h"

namespace ovu {

// Position of a fixed-point engine value between the real bounds, 0 at the
// minimum and 1 at the maximum. Equal bounds have no range to divide: every
// value sits at 0. The scale is recomputed on every call rather than cached,
// so each conversion depends only on the numbers given.
inline double positionBetween(std::int32_t value, double decimals, double minimum, double maximum) {
  if (maximum == minimum) return 0.0;
  const double scale = powerOfTen(decimals);
  return (value / scale - minimum) / (maximum - minimum);
}

// The fixed-point engine value at a position between the real bounds, 0 at
// the minimum and 1 at the maximum: the inverse of positionBetween.
inline std::int32_t valueAtPosition(double position, double decimals, double minimum,
                                    double maximum) {
  return roundToEngineValue((minimum + (maximum - minimum) * position) * powerOfTen(decimals));
}

// A normalised value as a position of the integer range low..high, rounded
// half away from zero. Range differences are taken in floating point: exact,
// and free of int32 overflow for any pair of ends.
inline std::int32_t normalizedToRange(double normalized, std::int32_t low, std::int32_t high) {
  const double span = static_cast<double>(high) - static_cast<double>(low);
  return saturateToInt32(low + roundHalfAwayFromZero(normalized * span));
}

// The normalised value of a position of the integer range low..high; a range
// of one position is all minimum (0).
inline double rangeToNormalized(std::int32_t position, std::int32_t low, std::int32_t high) {
  const double span = static_cast<double>(high) - static_cast<double>(low);
  if (span == 0.0) return 0.0;
  return (static_cast<double>(position) - static_cast<double>(low)) / span;
}

}  // namespace ovu
