#include "filter_processor.h"

#include <algorithm>
#include <cmath>

namespace demo {
namespace {

const ParameterDefinition kFilterDefinitions[FilterProcessor::kParameterCount] = {
    {"Cutoff", "Hz", 20, 20000, 1000, 0, kel::kCurveLogarithmic, 1000, nullptr, nullptr, nullptr},
    {"Type", "", 0, 2, 0, 0, kel::kCurveLinear, 0, "Lowpass@Highpass@Bandpass", nullptr, nullptr},
    {"Resonance", "%", 0, 1000, 0, 1, kel::kCurveLinear, 0, nullptr, nullptr, nullptr},
};

// Coefficients are recomputed every kStep frames while the cutoff glides.
constexpr std::int32_t kStep = 32;
// Time for the cutoff to cover about 63 % of a jump.
constexpr double kGlideSeconds = 0.01;

}  // namespace

FilterProcessor::FilterProcessor()
    : DemoProcessor(1, "Demo Filter", kFilterDefinitions, kParameterCount) {}

double FilterProcessor::targetQ() const {
  // 0 % is a flat Butterworth response (Q 0.707), 100 % a sharp peak (Q 20).
  return 0.70710678 * std::pow(28.2842712, parameters_.real(kResonance) / 100.0);
}

void FilterProcessor::reset() {
  for (auto& filter : filters_) filter.reset();
}

void FilterProcessor::settle() {
  smoothedLogCutoff_ = std::log(parameters_.real(kCutoff));
}

void FilterProcessor::render(float** outputs, float** inputs, std::int32_t inputCount,
                             std::int32_t outputCount, std::int32_t frames) {
  const double rate = sampleRate();
  const double targetLog = std::log(parameters_.real(kCutoff));
  const double glide = 1.0 - std::exp(-kStep / (kGlideSeconds * rate));
  const double q = targetQ();
  const auto type = static_cast<FilterType>(parameters_.get(kType));

  for (std::int32_t start = 0; start < frames; start += kStep) {
    const std::int32_t end = std::min(frames, start + kStep);
    smoothedLogCutoff_ += (targetLog - smoothedLogCutoff_) * glide;
    const FilterCoefficients coefficients =
        FilterCoefficients::make(std::exp(smoothedLogCutoff_), q, rate);
    for (std::int32_t c = 0; c < outputCount; ++c) {
      float* out = outputs[c];
      if (!out) continue;
      const float* in = inputCount > 0 ? inputs[c < inputCount ? c : inputCount - 1] : nullptr;
      StateVariableFilter& filter = filters_[c];
      for (std::int32_t i = start; i < end; ++i) {
        out[i] = filter.process(in ? in[i] : 0.0f, coefficients, type);
      }
    }
  }
}

}  // namespace demo
