// Picks the converter that a parameter description asks for.
#pragma once

#include "bridge/parameter_info.h"
#include "convert/converter.h"

namespace kel {

// A new converter for the description's curve (0 linear, 1 logarithmic), to
// be used for one conversion and released by the caller. Null for any other
// curve or when memory runs out: the conversion is then refused.
ovu::IConverter* makeConverter(const SParameterInfo& info);

}  // namespace kel
