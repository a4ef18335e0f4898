#include "synth_voice.h"

#include <cmath>

namespace demo {
namespace {

constexpr double kTwoPi = 6.28318530717958647692;
constexpr float kSilentLevel = 1.0e-4f;  // -80 dB: the voice ends

// Polynomial correction that rounds off a jump at phase 0 so the naive
// sawtooth and square do not alias badly.
double polyBlep(double phase, double increment) {
  if (phase < increment) {
    const double t = phase / increment;
    return t + t - t * t - 1.0;
  }
  if (phase > 1.0 - increment) {
    const double t = (phase - 1.0) / increment;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

}  // namespace

void SynthVoice::start(std::int32_t note, std::int32_t velocity, double sampleRate,
                       std::uint32_t age) {
  const double frequency = 440.0 * std::pow(2.0, (note - 69) / 12.0);
  note_ = note;
  age_ = age;
  increment_ = frequency / sampleRate;
  velocity_ = static_cast<float>(velocity) / 127.0f;
  if (stage_ == Stage::kIdle) {
    phase_ = 0.0;
    envelope_ = 0.0f;
  }
  stage_ = Stage::kAttack;
}

void SynthVoice::release() {
  if (stage_ == Stage::kAttack || stage_ == Stage::kSustain) stage_ = Stage::kRelease;
}

void SynthVoice::silence() {
  stage_ = Stage::kIdle;
  envelope_ = 0.0f;
  note_ = -1;
}

float SynthVoice::nextSample(Waveform waveform) {
  double value = 0.0;
  switch (waveform) {
    case Waveform::kSine:
      value = std::sin(kTwoPi * phase_);
      break;
    case Waveform::kSaw:
      value = 2.0 * phase_ - 1.0 - polyBlep(phase_, increment_);
      break;
    case Waveform::kSquare: {
      double shifted = phase_ + 0.5;
      if (shifted >= 1.0) shifted -= 1.0;
      value = (phase_ < 0.5 ? 1.0 : -1.0) + polyBlep(phase_, increment_) -
              polyBlep(shifted, increment_);
      break;
    }
    case Waveform::kTriangle:
      value = phase_ < 0.5 ? 4.0 * phase_ - 1.0 : 3.0 - 4.0 * phase_;
      break;
  }
  // The phase never goes below 0, so only a step past 1 needs wrapping. A
  // note at or above the sample rate advances more than one cycle per frame:
  // wrap by the whole cycles, not by one.
  phase_ += increment_;
  if (phase_ >= 1.0) phase_ -= std::floor(phase_);
  return static_cast<float>(value);
}

void SynthVoice::render(float* mix, std::int32_t frames, const VoiceSettings& settings) {
  const float attackStep = static_cast<float>(1.0 / settings.attackFrames);
  const float releaseFactor = static_cast<float>(settings.releaseMultiplier);
  for (std::int32_t i = 0; i < frames && stage_ != Stage::kIdle; ++i) {
    if (stage_ == Stage::kAttack) {
      envelope_ += attackStep;
      if (envelope_ >= 1.0f) {
        envelope_ = 1.0f;
        stage_ = Stage::kSustain;
      }
    } else if (stage_ == Stage::kRelease) {
      envelope_ *= releaseFactor;
      if (envelope_ < kSilentLevel) {
        silence();
        break;
      }
    }
    mix[i] += nextSample(settings.waveform) * envelope_ * velocity_;
  }
}

}  // namespace demo
