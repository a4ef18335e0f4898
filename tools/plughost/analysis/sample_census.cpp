#include "analysis/sample_census.h"

#include <cmath>

namespace plughost {

SampleCensus takeCensus(const AudioBuffer& audio) {
  SampleCensus census;
  for (const auto& channel : audio.channels) {
    for (float s : channel) {
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
  return census;
}

}  // namespace plughost
