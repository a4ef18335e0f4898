// Logarithmic mapping with base B between the engine range and 0..1: the
// curve acts on the position within the range, so bounds may be zero or
// negative.
#pragma once

#include "convert/converter.h"

namespace ovu {

class CConverterLog : public virtual IConverter {
 public:
  CConverterLog(std::int32_t decimals, std::int32_t scaledMinimum, std::int32_t scaledMaximum,
                std::int32_t base, std::int32_t rangeLow, std::int32_t rangeHigh);

  void release() override;
  std::int32_t valueToRange(std::int32_t value) override;
  std::int32_t rangeToValue(std::int32_t position) override;
  double valueToNormalized(std::int32_t value) override;
  std::int32_t normalizedToValue(double normalized) override;

 private:
  std::uint32_t base;
  double decimals;
  double minimum;
  double maximum;
  std::int32_t rangeLow;
  std::int32_t rangeHigh;
};

}  // namespace ovu
