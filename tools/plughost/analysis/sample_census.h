// What a rendered buffer holds that a listener or a WAV file cannot: samples
// beyond full scale and samples that are not numbers at all.
#pragma once

#include <cstddef>

#include "formats/audio_buffer.h"

namespace plughost {

struct SampleCensus {
  float peak = 0.0f;                // largest finite magnitude
  std::size_t beyondFullScale = 0;  // finite samples outside -1..1 (clipped in PCM)
  std::size_t nonFinite = 0;        // NaN and infinities
};

SampleCensus takeCensus(const AudioBuffer& audio);
// Adds `count` samples to `census`, block by block as a render streams.
void countSamples(SampleCensus& census, const float* samples, std::size_t count);

}  // namespace plughost
