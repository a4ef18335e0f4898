// Translation between an engine's fixed-point parameter value and the host's
// normalised value, for one parameter. Converters are pure arithmetic on the
// numbers given at construction. One built in place (bridge::ConverterFor) is
// destroyed by its destructor.
// Equal bounds, and an integer range of a single position, have nothing to
// divide: every value there counts as the start (normalised 0). Nothing else
// is validated, and nothing throws.
#pragma once

#include <cstdint>

namespace ovu {

class IConverter {
 public:
  virtual void release() = 0;
  virtual std::int32_t valueToRange(std::int32_t value) = 0;
  virtual std::int32_t rangeToValue(std::int32_t position) = 0;
  virtual double valueToNormalized(std::int32_t value) = 0;
  virtual std::int32_t normalizedToValue(double normalized) = 0;
  virtual ~IConverter() {}
};

}  // namespace ovu
