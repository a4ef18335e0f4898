#include "bridge/converter_choice.h"

#include <new>

#include "convert/converter_linear.h"
#include "convert/converter_log.h"

namespace kel {

// The bridge never converts between the engine value and an integer range,
// so both range ends are 0.
ovu::IConverter* makeConverter(const SParameterInfo& info) {
  switch (info.curve) {
    case kCurveLinear:
      return new (std::nothrow)
          ovu::CConverterLinear(info.decimals, info.minimum, info.maximum, 0, 0);
    case kCurveLogarithmic:
      return new (std::nothrow) ovu::CConverterLog(info.decimals, info.minimum, info.maximum,
                                                   static_cast<std::int32_t>(info.logBase), 0, 0);
    default:
      return nullptr;
  }
}

}  // namespace kel
