#include "analysis/test_signal.h"

#include <cmath>
#include <cstdint>

namespace plughost {

TestSignal::TestSignal(const std::string& kind, int sampleRate)
    : kind_(kind == "sine"      ? Kind::kSine
            : kind == "noise"   ? Kind::kNoise
            : kind == "silence" ? Kind::kSilence
                                : Kind::kNone),
      sampleRate_(sampleRate) {}

float TestSignal::next() {
  constexpr double kTwoPi = 6.28318530717958647692;
  float sample = 0.0f;
  if (kind_ == Kind::kSine) {
    // The phase from the frame's place within whole seconds, so hours of
    // frames lose no precision.
    const auto within = static_cast<double>(frame_ % static_cast<std::uint64_t>(sampleRate_));
    sample = static_cast<float>(kTestSignalAmplitude *
                                std::sin(kTwoPi * kTestSineHz * within / sampleRate_));
  } else if (kind_ == Kind::kNoise) {
    seed_ = seed_ * 1664525u + 1013904223u;  // linear congruential generator
    sample = static_cast<float>(kTestSignalAmplitude * ((seed_ >> 8) / 8388608.0 - 1.0));
  }
  ++frame_;
  return sample;
}

bool generateTestSignal(const std::string& kind, int channels, std::size_t frames, int sampleRate,
                        AudioBuffer& audio) {
  TestSignal signal(kind, sampleRate);
  if (!signal.valid()) return false;
  audio.sampleRate = sampleRate;
  audio.resize(static_cast<std::size_t>(channels), frames);
  for (std::size_t f = 0; f < frames; ++f) {
    const float sample = signal.next();
    for (auto& channel : audio.channels) channel[f] = sample;
  }
  return true;
}

}  // namespace plughost
