// The text the editor shows for a parameter value: a named item, the text at
// a bound, or the fixed-point number with its decimals. These are the bridge's
// display rules for the demo's own parameters, whose few decimals a double
// prints exactly; negative or very many decimals, which the bridge also
// serves, never occur here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parameter_definition.h"

namespace demo {

// Writes a NUL-terminated text of at most size-1 characters into `text`.
void formatValue(const ParameterDefinition& definition, std::int32_t value, char* text,
                 std::size_t size);

}  // namespace demo
