#include "parameter_scale.h"

#include <algorithm>
#include <cmath>

#include "bridge/parameter_info.h"

namespace demo {
namespace {

bool isLogarithmic(const ParameterSpec& spec) {
  return spec.curve == kel::kCurveLogarithmic && spec.logBase > 1 && !spec.valueNames;
}

}  // namespace

double valueToPosition(const ParameterSpec& spec, std::int32_t value) {
  const double span = static_cast<double>(spec.maximum) - spec.minimum;
  if (span <= 0.0) return 0.0;
  const double linear = std::clamp((static_cast<double>(value) - spec.minimum) / span, 0.0, 1.0);
  if (!isLogarithmic(spec)) return linear;
  const double base = spec.logBase;
  return std::log10(1.0 + (base - 1.0) * linear) / std::log10(base);
}

std::int32_t positionToValue(const ParameterSpec& spec, double position) {
  double t = std::clamp(position, 0.0, 1.0);
  if (isLogarithmic(spec)) {
    const double base = spec.logBase;
    t = (std::pow(base, t) - 1.0) / (base - 1.0);
  }
  const double value = spec.minimum + (static_cast<double>(spec.maximum) - spec.minimum) * t;
  return std::clamp(static_cast<std::int32_t>(std::lround(value)), spec.minimum, spec.maximum);
}

}  // namespace demo
