// Static description of one demo-engine parameter: everything the engine
// tells the bridge about it, plus the value a fresh processor starts with.
#pragma once

#include <cstdint>

#include "kel/parameter_info.h"

namespace demo {

struct ParameterDefinition {
  const char* name;
  const char* label;
  std::int32_t minimum;  // fixed point with `decimals` places
  std::int32_t maximum;
  std::int32_t defaultValue;
  std::int32_t decimals;
  std::int32_t curve;       // kel::kCurveLinear or kel::kCurveLogarithmic
  std::uint32_t logBase;    // used with the logarithmic curve only
  const char* valueNames;   // "A@B@C": shown as named items; null for numbers
  const char* minimumText;  // shown instead of the number at the minimum; may be null
  const char* maximumText;  // shown instead of the number at the maximum; may be null
};

// Fills the bridge's record from a definition; every demo parameter is automatable.
inline void describeParameter(const ParameterDefinition& definition, kel::SParameterInfo& info) {
  info.name = definition.name;
  info.label = definition.label;
  info.displayType = definition.valueNames ? kel::kDisplayNamedValues : 0;
  info.minimum = definition.minimum;
  info.maximum = definition.maximum;
  info.decimals = definition.decimals;
  info.minimumText = definition.minimumText;
  info.maximumText = definition.maximumText;
  info.curve = definition.curve;
  info.logBase = definition.logBase;
  info.valueNames = definition.valueNames;
  info.automatable = 1;
}

}  // namespace demo
