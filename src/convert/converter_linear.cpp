#include "convert/converter_linear.h"

#include "convert/power_of_ten.h"
#include "convert/range_mapping.h"

namespace ovu {

CConverterLinear::CConverterLinear(std::int32_t decimalPlaces, std::int32_t scaledMinimum,
                                   std::int32_t scaledMaximum, std::int32_t low, std::int32_t high)
    : decimals(decimalPlaces),
      minimum(scaledMinimum / powerOfTen(static_cast<double>(decimalPlaces))),
      maximum(scaledMaximum / powerOfTen(static_cast<double>(decimalPlaces))),
      rangeLow(low),
      rangeHigh(high) {}

void CConverterLinear::release() {
  delete this;
}

double CConverterLinear::valueToNormalized(std::int32_t value) {
  return positionBetween(value, decimals, minimum, maximum);
}

std::int32_t CConverterLinear::normalizedToValue(double normalized) {
  return valueAtPosition(normalized, decimals, minimum, maximum);
}

std::int32_t CConverterLinear::valueToRange(std::int32_t value) {
  return normalizedToRange(valueToNormalized(value), rangeLow, rangeHigh);
}

std::int32_t CConverterLinear::rangeToValue(std::int32_t position) {
  return normalizedToValue(rangeToNormalized(position, rangeLow, rangeHigh));
}

}  // namespace ovu
