// The text the editor shows for a parameter value: a named item, the text at
// a bound, or the fixed-point number with its decimals. Matches what a host
// shows for the same value through the bridge.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parameter_definition.h"

namespace demo {

// Writes a NUL-terminated text of at most size-1 characters into `text`.
void formatValue(const ParameterDefinition& definition, std::int32_t value, char* text, std::size_t size);

}  // namespace demo
