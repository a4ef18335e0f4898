// Audio held as one float vector per channel, all of the same length.
#pragma once

#include <cstddef>
#include <vector>

namespace plughost {

struct AudioBuffer {
  int sampleRate = 44100;
  std::vector<std::vector<float>> channels;

  std::size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
  // Makes `count` channels of `frameCount` zeroed samples.
  void resize(std::size_t count, std::size_t frameCount) {
    channels.assign(count, std::vector<float>(frameCount, 0.0f));
  }
};

}  // namespace plughost
