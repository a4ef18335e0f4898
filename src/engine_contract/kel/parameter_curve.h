// The curve between an engine value and the host's 0..1, header-only, for an
// engine's own editor: an editor that places its controls with these shows
// what the host shows, to the last bit, because they are the bridge's own
// arithmetic (the bridge converts every host access the same way).
//
// For a description with `decimals` d and fixed-point bounds min and max, the
// real bounds are lo = min / 10^d and hi = max / 10^d, and an engine value v
// sits at the position n = (v / 10^d - lo) / (hi - lo) of the range (0 when
// lo equals hi). The host's value x and the engine value back are:
//   linear (curve 0):       x = n
//                           v = round((lo + (hi - lo) * x) * 10^d)
//   logarithmic (curve 1):  x = log10(1 + (B - 1) * n) / log10(B), B = logBase
//                           v = round((lo + (hi - lo) * g) * 10^d), where
//                           g = (B^x - 1) / (B - 1), taken as exactly 1 above
//                           0.999999
// so with B = 10 the middle of the host's range (x = 0.5) sits at n = 0.24,
// and with B = 100 at n = 1/11.
// round() takes halves away from zero and saturates at the int32 ends. The
// host sees x as a float. Nothing is clamped: values outside the bounds give
// x below 0 or above 1.
//
// [any thread] Pure arithmetic on the description: no engine call, no
// allocation, no lock; safe in process().
#pragma once

#include <cmath>
#include <cstdint>

#include "kel/parameter_info.h"

namespace kel {
namespace curve_detail {

// 10^e: exact from a table for whole e in 0..22, else the power function.
inline double powerOfTen(double exponent) {
  static const double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                  1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                  1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (exponent >= 0.0 && exponent <= 22.0) {
    const int whole = static_cast<int>(exponent);
    if (whole == exponent) return kExact[whole];
  }
  return std::pow(10.0, exponent);
}

inline std::int32_t roundToValue(double x) {
  const double whole = std::trunc(x > 0.0 ? x + 0.5 : x - 0.5);
  if (std::isnan(whole)) return 0;
  if (whole >= 2147483647.0) return INT32_MAX;
  if (whole <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(whole);
}

// The real bounds, or false when no double holds them (hundreds of decimals)
// or the curve is not one the bridge converts along.
inline bool realBounds(const SParameterInfo& info, double* minimum, double* maximum) {
  if (info.curve != kCurveLinear && !(info.curve == kCurveLogarithmic && info.logBase >= 2)) {
    return false;
  }
  const double scale = powerOfTen(static_cast<double>(info.decimals));
  if (!std::isfinite(scale) || scale == 0.0) return false;
  *minimum = info.minimum / scale;
  *maximum = info.maximum / scale;
  return std::isfinite(*minimum) && std::isfinite(*maximum) && std::isfinite(*maximum - *minimum);
}

}  // namespace curve_detail

// True when the bridge shows the parameter to hosts along its curve: linear,
// or logarithmic with logBase 2 or more, with bounds a double holds. For any
// other description the host reads 0 and its changes never reach the engine.
inline bool hasHostCurve(const SParameterInfo& info) {
  double minimum = 0.0, maximum = 0.0;
  return curve_detail::realBounds(info, &minimum, &maximum);
}

// The host's value for engine value `value`: what getParameter answers the
// host. 0 without a host curve or when the result is not finite.
inline float normalizedFromValue(const SParameterInfo& info, std::int32_t value) {
  double minimum = 0.0, maximum = 0.0;
  if (!curve_detail::realBounds(info, &minimum, &maximum)) return 0.0f;
  double n = 0.0;
  if (maximum != minimum) {
    const double scale = curve_detail::powerOfTen(static_cast<double>(info.decimals));
    n = (value / scale - minimum) / (maximum - minimum);
  }
  if (info.curve == kCurveLogarithmic) {
    const double baseMinusOne = static_cast<double>(info.logBase - 1u);
    n = std::log10(1.0 + baseMinusOne * n) / std::log10(static_cast<double>(info.logBase));
  }
  const float result = static_cast<float>(n);
  return std::isfinite(result) ? result : 0.0f;
}

// The engine value a host's `normalized` becomes: what setParameter hands the
// engine. False, with `value` untouched, without a host curve.
inline bool valueFromNormalized(const SParameterInfo& info, float normalized, std::int32_t* value) {
  double minimum = 0.0, maximum = 0.0;
  if (value == nullptr || !curve_detail::realBounds(info, &minimum, &maximum)) return false;
  double position = static_cast<double>(normalized);
  if (info.curve == kCurveLogarithmic) {
    const double baseMinusOne = static_cast<double>(info.logBase - 1u);
    const double g =
        (std::pow(10.0, std::log10(static_cast<double>(info.logBase)) * position) - 1.0) /
        baseMinusOne;
    position = g > 0.999999 ? 1.0 : g;
  }
  *value = curve_detail::roundToValue((minimum + (maximum - minimum) * position) *
                                      curve_detail::powerOfTen(static_cast<double>(info.decimals)));
  return true;
}

}  // namespace kel
