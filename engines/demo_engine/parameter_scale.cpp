#include "parameter_scale.h"

#include <algorithm>
#include <cmath>

#include "kel/parameter_info.h"

namespace demo {
namespace {

bool isLogarithmic(const ParameterDefinition& definition) {
  return definition.curve == kel::kCurveLogarithmic && definition.logBase > 1 &&
         !definition.valueNames;
}

}  // namespace

double valueToPosition(const ParameterDefinition& definition, std::int32_t value) {
  const double span = static_cast<double>(definition.maximum) - definition.minimum;
  if (span <= 0.0) return 0.0;
  const double linear =
      std::clamp((static_cast<double>(value) - definition.minimum) / span, 0.0, 1.0);
  if (!isLogarithmic(definition)) return linear;
  const double base = definition.logBase;
  return std::log10(1.0 + (base - 1.0) * linear) / std::log10(base);
}

std::int32_t positionToValue(const ParameterDefinition& definition, double position) {
  double t = std::clamp(position, 0.0, 1.0);
  if (isLogarithmic(definition)) {
    const double base = definition.logBase;
    t = (std::pow(base, t) - 1.0) / (base - 1.0);
  }
  const double value =
      definition.minimum + (static_cast<double>(definition.maximum) - definition.minimum) * t;
  return std::clamp(static_cast<std::int32_t>(std::lround(value)), definition.minimum,
                    definition.maximum);
}

}  // namespace demo
