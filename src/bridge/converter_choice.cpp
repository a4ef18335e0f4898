#include "bridge/converter_choice.h"

#include <cmath>
#include <new>

#include "convert/converter_linear.h"
#include "convert/converter_log.h"
#include "convert/power_of_ten.h"

namespace kel {

namespace {

// Hundreds of decimal places either way leave no finite scale or no finite
// real bounds: no arithmetic can serve such a description.
bool hasFiniteRealBounds(const SParameterInfo& info) {
  const double scale = ovu::powerOfTen(static_cast<double>(info.decimals));
  if (!std::isfinite(scale) || scale == 0.0) return false;
  const double minimum = info.minimum / scale;
  const double maximum = info.maximum / scale;
  return std::isfinite(minimum) && std::isfinite(maximum) && std::isfinite(maximum - minimum);
}

}  // namespace

// The bridge never converts between the engine value and an integer range,
// so both range ends are 0.
ovu::IConverter* makeConverter(const SParameterInfo& info) {
  if (!hasFiniteRealBounds(info)) return nullptr;
  switch (info.curve) {
    case kCurveLinear:
      return new (std::nothrow)
          ovu::CConverterLinear(info.decimals, info.minimum, info.maximum, 0, 0);
    case kCurveLogarithmic:
      // Base 1 has a flat curve (0 / 0) and base 0 a logarithm of 0.
      if (info.logBase < kLowestLogBase) return nullptr;
      return new (std::nothrow) ovu::CConverterLog(info.decimals, info.minimum, info.maximum,
                                                   static_cast<std::int32_t>(info.logBase), 0, 0);
    default:
      return nullptr;
  }
}

}  // namespace kel
