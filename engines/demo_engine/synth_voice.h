// One note of the demo synth: an oscillator with band-limited edges and a
// linear attack / exponential release envelope.
#pragma once

#include <cstdint>

namespace demo {

enum class Waveform { kSine = 0, kSaw = 1, kSquare = 2, kTriangle = 3 };

struct VoiceSettings {
  Waveform waveform = Waveform::kSine;
  double attackFrames = 1.0;        // at least 1
  double releaseMultiplier = 0.99;  // per-frame envelope factor while released
};

class SynthVoice {
 public:
  bool active() const { return stage_ != Stage::kIdle; }
  bool releasing() const { return stage_ == Stage::kRelease; }
  std::int32_t note() const { return note_; }
  std::uint32_t age() const { return age_; }
  float level() const { return envelope_; }

  // `age` orders voices for stealing: a larger number is a newer note.
  void start(std::int32_t note, std::int32_t velocity, double sampleRate, std::uint32_t age);
  void release();
  void silence();
  // Adds this voice's next `frames` samples to `mix`.
  void render(float* mix, std::int32_t frames, const VoiceSettings& settings);

 private:
  enum class Stage { kIdle, kAttack, kSustain, kRelease };
  float nextSample(Waveform waveform);

  Stage stage_ = Stage::kIdle;
  std::int32_t note_ = -1;
  std::uint32_t age_ = 0;
  double phase_ = 0.0;      // 0..1
  double increment_ = 0.0;  // cycles per frame
  float velocity_ = 0.0f;
  float envelope_ = 0.0f;
};

}  // namespace demo
