#include "analysis/sample_census.h"

#include <cmath>

namespace plughost {

void countSamples(SampleCensus& census, const float* samples, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const float s = samples[i];
    if (!std::isfinite(s)) {
      ++census.nonFinite;
      continue;
    }
    const float magnitude = std::fabs(s);
    if (magnitude > census.peak) census.peak = magnitude;
    // +1.0 itself is one step beyond the largest PCM value but rounds to it.
    if (magnitude > 1.0f) ++census.beyondFullScale;
  }
}

SampleCensus takeCensus(const AudioBuffer& audio) {
  SampleCensus census;
  for (const auto& channel : audio.channels) countSamples(census, channel.data(), channel.size());
  return census;
}

}  // namespace plughost
