// Picks the converter that a parameter description asks for.
#pragma once

#include "bridge/parameter_info.h"
#include "convert/converter.h"

namespace kel {

// The smallest base whose logarithmic curve is defined.
constexpr std::uint32_t kLowestLogBase = 2;

// A new converter for the description's curve (0 linear, 1 logarithmic), to
// be used for one conversion and released by the caller. Null, and the
// conversion refused, for any other curve, a logarithmic base below 2, a
// number of decimals that leaves no finite bounds, or when memory runs out.
ovu::IConverter* makeConverter(const SParameterInfo& info);

}  // namespace kel
