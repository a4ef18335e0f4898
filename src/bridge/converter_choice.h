// Picks the converter that a parameter description asks for.
#pragma once

#include <cstddef>

#include "convert/converter.h"
#include "convert/converter_linear.h"
#include "convert/converter_log.h"
#include "kel/parameter_info.h"

namespace bridge {

// The converter for one conversion, built in place inside this object (on
// the caller's stack), so parameter access allocates nothing; destroyed with
// it. Null when the description has none: a curve other than linear (0) or
// logarithmic (1), a logarithmic base below 2, or a number of decimals that
// leaves no finite bounds.
class ConverterFor {
 public:
  explicit ConverterFor(const kel::SParameterInfo& info);
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

}  // namespace bridge
