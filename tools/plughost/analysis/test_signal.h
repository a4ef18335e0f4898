// Generated input signals for rendering: a 440 Hz sine, white noise from a
// fixed seed (the same every run) or silence, all at half full scale.
#pragma once

#include <cstdint>
#include <string>

#include "formats/audio_buffer.h"

namespace plughost {

constexpr double kTestSignalAmplitude = 0.5;
constexpr double kTestSineHz = 440.0;

// The signal sample by sample, so a render of any length holds one block.
class TestSignal {
 public:
  // False from valid() when `kind` is not "sine", "noise" or "silence".
  TestSignal(const std::string& kind, int sampleRate);
  bool valid() const { return kind_ != Kind::kNone; }
  // The next sample, the same in every channel.
  float next();

 private:
  enum class Kind { kNone, kSine, kNoise, kSilence };
  Kind kind_;
  int sampleRate_;
  std::uint64_t frame_ = 0;
  std::uint32_t seed_ = 0x12345678u;
};

// The whole signal at once; false when `kind` is not "sine", "noise" or "silence".
bool generateTestSignal(const std::string& kind, int channels, std::size_t frames, int sampleRate,
                        AudioBuffer& audio);

}  // namespace plughost
