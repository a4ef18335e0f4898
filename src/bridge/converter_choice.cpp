#include "bridge/converter_choice.h"

#include <cmath>
#include <cstdint>
#include <new>

#include "convert/power_of_ten.h"

namespace bridge {

namespace {

// Hundreds of decimal places either way leave no finite scale or no finite
// real bounds: no arithmetic can serve such a description.
bool hasFiniteRealBounds(const kel::SParameterInfo& info) {
  const double scale = ovu::powerOfTen(static_cast<double>(info.decimals));
  if (!std::isfinite(scale) || scale == 0.0) return false;
  const double minimum = info.minimum / scale;
  const double maximum = info.maximum / scale;
  return std::isfinite(minimum) && std::isfinite(maximum) && std::isfinite(maximum - minimum);
}

// The smallest base whose logarithmic curve is defined.
constexpr std::uint32_t kLowestLogBase = 2;

// Whether the description has a converter (see ConverterFor).
bool hasConverter(const kel::SParameterInfo& info) {
  switch (info.curve) {
    case kel::kCurveLinear:
      return hasFiniteRealBounds(info);
    case kel::kCurveLogarithmic:
      // Base 1 has a flat curve (0 / 0) and base 0 a logarithm of 0.
      return info.logBase >= kLowestLogBase && hasFiniteRealBounds(info);
    default:
      return false;
  }
}

}  // namespace

// The bridge never converts between the engine value and an integer range,
// so both range ends are 0.
ConverterFor::ConverterFor(const kel::SParameterInfo& info) {
  if (!hasConverter(info)) return;
  if (info.curve == kel::kCurveLinear) {
    converter =
        new (storage) ovu::CConverterLinear(info.decimals, info.minimum, info.maximum, 0, 0);
  } else {
    converter = new (storage) ovu::CConverterLog(info.decimals, info.minimum, info.maximum,
                                                 static_cast<std::int32_t>(info.logBase), 0, 0);
  }
}

// Destroyed in place: release() would delete storage that is not the heap's.
ConverterFor::~ConverterFor() {
  if (converter != nullptr) converter->~IConverter();
}

}  // namespace bridge
