// Picks the converter that a parameter description asks for.
#pragma once

#include <cstddef>

#include "bridge/parameter_info.h"
#include "convert/converter.h"
#include "convert/converter_linear.h"
#include "convert/converter_log.h"

namespace kel {

// The smallest base whose logarithmic curve is defined.
constexpr std::uint32_t kLowestLogBase = 2;

// Whether the description has a converter: a linear (0) or logarithmic (1)
// curve, a logarithmic base of at least 2, and a number of decimals that
// leaves finite bounds. Otherwise the conversion is refused.
bool hasConverter(const SParameterInfo& info);

// A new converter for the description, to be used for one conversion and
// released by the caller; null when it has none or memory runs out.
ovu::IConverter* makeConverter(const SParameterInfo& info);

// The converter for one conversion, built in place inside this object (on
// the caller's stack), so parameter access allocates nothing; destroyed with
// it. Null when the description has none.
class ConverterFor {
 public:
  explicit ConverterFor(const SParameterInfo& info);
  ~ConverterFor();
  ConverterFor(const ConverterFor&) = delete;
  ConverterFor& operator=(const ConverterFor&) = delete;

  ovu::IConverter* get() const { return converter; }

 private:
  static constexpr std::size_t kSize = sizeof(ovu::CConverterLinear) > sizeof(ovu::CConverterLog)
                                           ? sizeof(ovu::CConverterLinear)
                                           : sizeof(ovu::CConverterLog);
  alignas(ovu::CConverterLinear) alignas(ovu::CConverterLog) unsigned char storage[kSize];
  ovu::IConverter* converter = nullptr;
};

}  // namespace kel
