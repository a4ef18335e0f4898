#include "convert/converter_log.h"

#include <cmath>

#include "convert/power_of_ten.h"
#include "convert/range_mapping.h"

namespace ovu {

namespace {

// Above this the inverse curve counts as the very top, so a normalised 1
// gives back the scaled maximum whatever the power function's error.
constexpr double kTopOfCurve = 0.999999;

// Forward curve: lifts the low part of the range. B - 1 wraps as an unsigned
// 32-bit number (a base of 0 gives 2^32 - 1).
double curveUp(double position, std::uint32_t base) {
  const double baseMinusOne = static_cast<double>(base - 1u);
  return std::log10(1.0 + baseMinusOne * position) / std::log10(static_cast<double>(base));
}

// Inverse curve, (B^t - 1) / (B - 1), clamped to exactly 1 near the top and
// unclamped below 0.
double curveDown(double t, std::uint32_t base) {
  const double baseMinusOne = static_cast<double>(base - 1u);
  const double g = (std::pow(10.0, std::log10(static_cast<double>(base)) * t) - 1.0) / baseMinusOne;
  return g > kTopOfCurve ? 1.0 : g;
}

}  // namespace

CConverterLog::CConverterLog(std::int32_t decimalPlaces, std::int32_t scaledMinimum,
                             std::int32_t scaledMaximum, std::int32_t logBase, std::int32_t low,
                             std::int32_t high)
    : base(static_cast<std::uint32_t>(logBase)),
      decimals(decimalPlaces),
      minimum(scaledMinimum / powerOfTen(static_cast<double>(decimalPlaces))),
      maximum(scaledMaximum / powerOfTen(static_cast<double>(decimalPlaces))),
      rangeLow(low),
      rangeHigh(high) {}

void CConverterLog::release() {
  delete this;
}

double CConverterLog::valueToNormalized(std::int32_t value) {
  return curveUp(positionBetween(value, decimals, minimum, maximum), base);
}

std::int32_t CConverterLog::normalizedToValue(double normalized) {
  return valueAtPosition(curveDown(normalized, base), decimals, minimum, maximum);
}

std::int32_t CConverterLog::valueToRange(std::int32_t value) {
  return normalizedToRange(valueToNormalized(value), rangeLow, rangeHigh);
}

std::int32_t CConverterLog::rangeToValue(std::int32_t position) {
  return normalizedToValue(rangeToNormalized(position, rangeLow, rangeHigh));
}

}  // namespace ovu
