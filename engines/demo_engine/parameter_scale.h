// Where a parameter value sits on the editor's bar (0 = left, 1 = right) and
// back. The bar follows the parameter's own curve, the way a host slider does:
// a logarithmic parameter spends more of the bar on its low values.
#pragma once

#include <cstdint>

#include "parameter_definition.h"

namespace demo {

double valueToPosition(const ParameterDefinition& definition, std::int32_t value);
// `position` is clamped to 0..1; the result lies within the definition's bounds.
std::int32_t positionToValue(const ParameterDefinition& definition, double position);

}  // namespace demo
