// A two-pole state-variable filter in trapezoidal (zero-delay feedback) form:
// stable under fast cutoff changes, with lowpass, highpass and bandpass outputs
// from one structure. One instance filters one channel.
#pragma once

#include <cmath>

namespace demo {

enum class FilterType { kLowpass = 0, kHighpass = 1, kBandpass = 2 };

struct FilterCoefficients {
  float k = 1.41421356f;  // damping, 1/Q
  float a1 = 0.0f;
  float a2 = 0.0f;
  float a3 = 0.0f;

  // `cutoffHz` is kept below 0.49 * sampleRate; `q` must be positive.
  static FilterCoefficients make(double cutoffHz, double q, double sampleRate);
};

class StateVariableFilter {
 public:
  static constexpr float kStateLimit = 1.0e15f;
  // A state this small is inaudible; left alone it decays into subnormal
  // numbers after signal then silence, which cost the host's CPU dearly.
  static constexpr float kStateFloor = 1.0e-20f;

  void reset() { ic1_ = ic2_ = 0.0f; }

  float process(float input, const FilterCoefficients& c, FilterType type) {
    const float v3 = input - ic2_;
    const float v1 = c.a1 * ic1_ + c.a2 * v3;
    const float v2 = ic2_ + c.a2 * ic1_ + c.a3 * v3;
    ic1_ = 2.0f * v1 - ic1_;
    ic2_ = 2.0f * v2 - ic2_;
    // One NaN or infinite input would poison the state for good: start over
    // (the comparison is false for NaN).
    if (!(std::fabs(ic1_) <= kStateLimit && std::fabs(ic2_) <= kStateLimit)) reset();
    if (std::fabs(ic1_) < kStateFloor) ic1_ = 0.0f;
    if (std::fabs(ic2_) < kStateFloor) ic2_ = 0.0f;
    switch (type) {
      case FilterType::kHighpass:
        return input - c.k * v1 - v2;
      case FilterType::kBandpass:
        return c.k * v1;  // unity gain at the centre frequency
      case FilterType::kLowpass:
      default:
        return v2;
    }
  }

 private:
  float ic1_ = 0.0f;
  float ic2_ = 0.0f;
};

}  // namespace demo
