// 10 raised to a number of decimal places. The powers from 10^0 to 10^22 are
// exact doubles and come from a table, which is what an exact power function
// answers too, without its cost on every parameter access; other exponents
// (negative, fractional or larger) go to the general power function.
#pragma once

#include <cmath>

namespace ovu {

inline double powerOfTen(double exponent) {
  static constexpr double kExact[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (exponent >= 0.0 && exponent <= 22.0) {
    const int whole = static_cast<int>(exponent);
    if (whole == exponent) return kExact[whole];
  }
  return std::pow(10.0, exponent);
}

}  // namespace ovu
