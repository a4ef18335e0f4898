#include "convert/converter_linear.h"

#include <cmath>

#include "convert/fixed_point_rounding.h"
#include "convert/power_of_ten.h"

namespace ovu {

CConverterLinear::CConverterLinear(std::int32_t decimals, std::int32_t scaledMinimum,
                                   std::int32_t scaledMaximum, std::int32_t rangeLow,
                                   std::int32_t rangeHigh)
    : decimals(decimals),
      minimum(scaledMinimum / powerOfTen(static_cast<double>(decimals))),
      maximum(scaledMaximum / powerOfTen(static_cast<double>(decimals))),
      rangeLow(rangeLow),
      rangeHigh(rangeHigh) {}

void CConverterLinear::release() {
  delete this;
}

// The scale is recomputed on every call rather than cached, so each
// conversion depends only on the stored fields. Equal bounds have no range to
// divide: every value sits at the minimum, 0.
double CConverterLinear::valueToNormalized(std::int32_t value) {
  if (maximum == minimum) return 0.0;
  const double scale = powerOfTen(decimals);
  return (value / scale - minimum) / (maximum - minimum);
}

std::int32_t CConverterLinear::normalizedToValue(double normalized) {
  const double scale = powerOfTen(decimals);
  return roundToEngineValue((minimum + (maximum - minimum) * normalized) * scale);
}

// Range differences are taken in floating point: exact, and free of int32
// overflow for any pair of ends.
std::int32_t CConverterLinear::valueToRange(std::int32_t value) {
  const double span = static_cast<double>(rangeHigh) - static_cast<double>(rangeLow);
  return saturateToInt32(rangeLow + roundHalfAwayFromZero(valueToNormalized(value) * span));
}

// A range of one position is all minimum.
std::int32_t CConverterLinear::rangeToValue(std::int32_t position) {
  const double span = static_cast<double>(rangeHigh) - static_cast<double>(rangeLow);
  if (span == 0.0) return normalizedToValue(0.0);
  const double fraction = (static_cast<double>(position) - static_cast<double>(rangeLow)) / span;
  return normalizedToValue(fraction);
}

}  // namespace ovu
