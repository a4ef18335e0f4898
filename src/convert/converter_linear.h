// Straight-line mapping between the engine range and 0..1.
#pragma once

#include "convert/converter.h"

namespace ovu {

class CConverterLinear : public virtual IConverter {
 public:
  CConverterLinear(std::int32_t decimals, std::int32_t scaledMinimum, std::int32_t scaledMaximum,
                   std::int32_t rangeLow, std::int32_t rangeHigh);

  void release() override;
  std::int32_t valueToRange(std::int32_t value) override;
  std::int32_t rangeToValue(std::int32_t position) override;
  double valueToNormalized(std::int32_t value) override;
  std::int32_t normalizedToValue(double normalized) override;

 private:
  double decimals;
  double minimum;  // real units (already divided by 10^decimals)
  double maximum;
  std::int32_t rangeLow;
  std::int32_t rangeHigh;
};

}  // namespace ovu
