// Audio held as one float vector per channel, all of the same length.
#pragma once

#include <algorithm>
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

// A block's channels as a host hands them to a plug-in: one buffer per
// channel and the array of their pointers.
class ChannelBuffers {
 public:
  // `count` channels of `frames` zeroed samples.
  void assign(std::size_t count, std::size_t frames) {
    channels_.assign(count, std::vector<float>(frames, 0.0f));
    pointers_.clear();
    for (auto& c : channels_) pointers_.push_back(c.data());
  }
  std::size_t size() const { return channels_.size(); }
  std::vector<float>& operator[](std::size_t c) { return channels_[c]; }
  const std::vector<float>& operator[](std::size_t c) const { return channels_[c]; }
  void zero() {
    for (auto& c : channels_) std::fill(c.begin(), c.end(), 0.0f);
  }
  // The pointer array, or nullptr for no channels.
  float** pointers() { return pointers_.empty() ? nullptr : pointers_.data(); }

 private:
  std::vector<std::vector<float>> channels_;
  std::vector<float*> pointers_;
};

}  // namespace plughost
