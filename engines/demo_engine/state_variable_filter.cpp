#include "state_variable_filter.h"

#include <algorithm>
#include <cmath>

namespace demo {

FilterCoefficients FilterCoefficients::make(double cutoffHz, double q, double sampleRate) {
  constexpr double kPi = 3.14159265358979323846;
  const double cutoff = std::clamp(cutoffHz, 1.0, 0.49 * sampleRate);
  const double g = std::tan(kPi * cutoff / sampleRate);
  const double k = 1.0 / q;
  const double a1 = 1.0 / (1.0 + g * (g + k));
  FilterCoefficients c;
  c.k = static_cast<float>(k);
  c.a1 = static_cast<float>(a1);
  c.a2 = static_cast<float>(g * a1);
  c.a3 = static_cast<float>(g * g * a1);
  return c;
}

}  // namespace demo
