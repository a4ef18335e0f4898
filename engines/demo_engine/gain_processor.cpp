#include "gain_processor.h"

#include <cmath>

namespace demo {
namespace {

const ParameterDefinition kGainDefinitions[GainProcessor::kParameterCount] = {
    {"Gain", "dB", -600, 120, 0, 1, kel::kCurveLinear, 0, nullptr, "-inf", nullptr},
    {"Polarity", "", 0, 1, 0, 0, kel::kCurveLinear, 0, "Normal@Inverted", nullptr, nullptr},
};

}  // namespace

GainProcessor::GainProcessor() : DemoProcessor(0, "Demo Gain", kGainDefinitions, kParameterCount) {}

float GainProcessor::targetFactor() const {
  const ParameterDefinition& gain = kGainDefinitions[kGain];
  if (parameters_.get(kGain) <= gain.minimum) return 0.0f;
  const double factor = std::pow(10.0, parameters_.real(kGain) / 20.0);
  return static_cast<float>(parameters_.get(kPolarity) ? -factor : factor);
}

void GainProcessor::settle() {
  factor_ = targetFactor();
}

void GainProcessor::render(float** outputs, float** inputs, std::int32_t inputCount,
                           std::int32_t outputCount, std::int32_t frames) {
  const float start = factor_;
  const float target = targetFactor();
  const float step = (target - start) / static_cast<float>(frames);
  for (std::int32_t c = 0; c < outputCount; ++c) {
    float* out = outputs[c];
    if (!out) continue;
    const float* in = inputCount > 0 ? inputs[c < inputCount ? c : inputCount - 1] : nullptr;
    if (!in) {
      for (std::int32_t i = 0; i < frames; ++i) out[i] = 0.0f;
      continue;
    }
    // Computed from the start each time so the ramp ends exactly on target.
    for (std::int32_t i = 0; i < frames; ++i) {
      out[i] = in[i] * (start + step * static_cast<float>(i + 1));
    }
  }
  factor_ = target;
}

}  // namespace demo
