#include "analysis/frequency_response.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace plughost {
namespace {

constexpr double kPi = 3.14159265358979323846;

double toDb(double ratio) {
  return ratio > 1e-10 ? 20.0 * std::log10(ratio) : kSilentDb;
}

}  // namespace

std::vector<double> logFrequencies(double low, double high, int count) {
  std::vector<double> result(static_cast<std::size_t>(std::max(count, 2)));
  const double step = std::log(high / low) / static_cast<double>(result.size() - 1);
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = low * std::exp(step * i);
  result.back() = high;  // exactly, not by rounding
  return result;
}

std::vector<double> magnitudeResponseDb(const std::vector<float>& impulseResponse, double rate,
                                        const std::vector<double>& frequencies) {
  std::vector<double> result;
  result.reserve(frequencies.size());
  for (double f : frequencies) {
    // The rotation is renewed every 1024 samples so rounding cannot build up.
    const double w = -2.0 * kPi * f / rate;
    const std::complex<double> step = std::polar(1.0, w);
    std::complex<double> sum = 0.0;
    std::complex<double> turn = 1.0;
    for (std::size_t n = 0; n < impulseResponse.size(); ++n) {
      if (n % 1024 == 0) turn = std::polar(1.0, w * static_cast<double>(n));
      sum += static_cast<double>(impulseResponse[n]) * turn;
      turn *= step;
    }
    result.push_back(toDb(std::abs(sum)));
  }
  return result;
}

std::size_t impulsePeak(const std::vector<float>& impulseResponse) {
  std::size_t peak = 0;
  for (std::size_t n = 1; n < impulseResponse.size(); ++n) {
    if (std::fabs(impulseResponse[n]) > std::fabs(impulseResponse[peak])) peak = n;
  }
  return peak;
}

SineFit fitSine(const std::vector<float>& samples, double frequency, double rate) {
  // Least squares on the basis sin, cos, 1: the 3x3 normal equations,
  // solved by Cramer's rule.
  double m[3][3] = {};
  double v[3] = {};
  const double w = 2.0 * kPi * frequency / rate;
  for (std::size_t n = 0; n < samples.size(); ++n) {
    const double basis[3] = {std::sin(w * n), std::cos(w * n), 1.0};
    for (int r = 0; r < 3; ++r) {
      v[r] += basis[r] * samples[n];
      for (int c = 0; c < 3; ++c) m[r][c] += basis[r] * basis[c];
    }
  }
  auto det = [](const double(&a)[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const double d = det(m);
  double x[3] = {};
  if (std::fabs(d) > 0.0) {
    for (int k = 0; k < 3; ++k) {
      double replaced[3][3];
      for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) replaced[r][c] = c == k ? v[r] : m[r][c];
      }
      x[k] = det(replaced) / d;
    }
  }
  double total = 0.0;
  double residual = 0.0;
  for (std::size_t n = 0; n < samples.size(); ++n) {
    const double fitted = x[0] * std::sin(w * n) + x[1] * std::cos(w * n) + x[2];
    const double rest = samples[n] - fitted + x[2];  // the offset is not the sine
    total += static_cast<double>(samples[n]) * samples[n];
    residual += rest * rest;
  }
  SineFit fit;
  fit.amplitude = std::hypot(x[0], x[1]);
  if (samples.empty() || total <= 0.0) return fit;
  fit.residualRms = std::sqrt(residual / samples.size());
  fit.thdPlusNoiseDb =
      residual > 0.0 ? std::max(10.0 * std::log10(residual / total), kSilentDb) : kSilentDb;
  return fit;
}

}  // namespace plughost
