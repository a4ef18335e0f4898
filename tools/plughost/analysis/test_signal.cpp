#include "analysis/test_signal.h"

#include <cmath>
#include <cstdint>

namespace plughost {

bool generateTestSignal(const std::string& kind, int channels, std::size_t frames, int sampleRate,
                        AudioBuffer& audio) {
  if (kind != "sine" && kind != "noise" && kind != "silence") return false;
  audio.sampleRate = sampleRate;
  audio.resize(static_cast<std::size_t>(channels), frames);
  constexpr double kTwoPi = 6.28318530717958647692;
  std::uint32_t seed = 0x12345678u;
  for (std::size_t f = 0; f < frames; ++f) {
    float sample = 0.0f;
    if (kind == "sine") {
      sample = static_cast<float>(kTestSignalAmplitude *
                                  std::sin(kTwoPi * kTestSineHz * f / sampleRate));
    } else if (kind == "noise") {
      seed = seed * 1664525u + 1013904223u;  // linear congruential generator
      sample = static_cast<float>(kTestSignalAmplitude * ((seed >> 8) / 8388608.0 - 1.0));
    }
    for (auto& channel : audio.channels) channel[f] = sample;
  }
  return true;
}

}  // namespace plughost
