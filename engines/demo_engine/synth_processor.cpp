#include "synth_processor.h"

#include <algorithm>
#include <cmath>

namespace demo {
namespace {

const ParameterDefinition kSynthDefinitions[SynthProcessor::kParameterCount] = {
    {"Waveform", "", 0, 3, 1, 0, kel::kCurveLinear, 0, "Sine@Saw@Square@Triangle", nullptr,
     nullptr},
    {"Volume", "dB", -600, 0, -120, 1, kel::kCurveLinear, 0, nullptr, "Off", nullptr},
    {"Attack", "ms", 1, 2000, 5, 0, kel::kCurveLogarithmic, 100, nullptr, nullptr, nullptr},
    {"Release", "ms", 5, 5000, 300, 0, kel::kCurveLogarithmic, 100, nullptr, nullptr, nullptr},
};

constexpr std::uint8_t kNoteOff = 0x80;
constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kAllSoundOff = 120;
constexpr std::uint8_t kAllNotesOff = 123;
// Above this level the mix is bent smoothly towards full scale, so that
// many loud notes together never clip; below it the sound is untouched.
constexpr float kLimiterKnee = 0.5f;

// Slope 1 at the knee, approaching (never reaching) 1.0 above it.
float limitBelowFullScale(float sample) {
  const float magnitude = std::fabs(sample);
  if (magnitude <= kLimiterKnee) return sample;
  const float room = 1.0f - kLimiterKnee;
  return std::copysign(kLimiterKnee + room * std::tanh((magnitude - kLimiterKnee) / room), sample);
}

// Per-frame smoothing of volume changes (about 5 ms at 44.1 kHz).
constexpr float kVolumeSmoothing = 0.005f;

}  // namespace

SynthProcessor::SynthProcessor()
    : DemoProcessor(2, "Demo Synth", kSynthDefinitions, kParameterCount), pending_{}, mix_{} {}

std::int32_t SynthProcessor::activeVoiceCount() const {
  return static_cast<std::int32_t>(std::count_if(voices_.begin(), voices_.end(),
                                                 [](const SynthVoice& v) { return v.active(); }));
}

float SynthProcessor::targetVolume() const {
  if (parameters_.get(kVolume) <= kSynthDefinitions[kVolume].minimum) return 0.0f;
  return static_cast<float>(std::pow(10.0, parameters_.real(kVolume) / 20.0));
}

VoiceSettings SynthProcessor::currentSettings() const {
  const double rate = sampleRate();
  VoiceSettings settings;
  settings.waveform = static_cast<Waveform>(parameters_.get(kWaveform));
  settings.attackFrames = std::max(1.0, parameters_.real(kAttack) * 0.001 * rate);
  const double releaseFrames = std::max(1.0, parameters_.real(kRelease) * 0.001 * rate);
  settings.releaseMultiplier = std::exp(std::log(1.0e-4) / releaseFrames);
  return settings;
}

void SynthProcessor::reset() {
  for (auto& voice : voices_) voice.silence();
  pendingCount_ = 0;
}

void SynthProcessor::settle() {
  volume_ = targetVolume();
}

void SynthProcessor::handleEvents(const kel::SEvent* events, std::int32_t count) {
  // Events of one block arrive in one call; a second call before the block
  // appends, and whatever does not fit is dropped.
  const std::int32_t room = kMaxPendingEvents - pendingCount_;
  const std::int32_t n = std::min(count, room);
  std::copy(events, events + n, pending_.begin() + pendingCount_);
  pendingCount_ += n;
}

void SynthProcessor::noteOn(std::int32_t note, std::int32_t velocity) {
  SynthVoice* chosen = nullptr;
  for (auto& voice : voices_) {
    if (voice.active() && !voice.releasing() && voice.note() == note) chosen = &voice;
  }
  if (!chosen) {
    auto idle = std::find_if(voices_.begin(), voices_.end(),
                             [](const SynthVoice& v) { return !v.active(); });
    if (idle != voices_.end()) chosen = &*idle;
  }
  if (!chosen) {
    // Steal the oldest note, preferring one that is already fading out.
    for (auto& voice : voices_) {
      if (!chosen || (voice.releasing() && !chosen->releasing()) ||
          (voice.releasing() == chosen->releasing() && voice.age() < chosen->age())) {
        chosen = &voice;
      }
    }
  }
  chosen->start(note, velocity, sampleRate(), ++noteCounter_);
}

void SynthProcessor::noteOff(std::int32_t note) {
  for (auto& voice : voices_) {
    if (voice.note() == note) voice.release();
  }
}

void SynthProcessor::applyEvent(const kel::SEvent& event) {
  const std::uint8_t status = event.midiData[0] & 0xF0;
  const std::int32_t data1 = event.midiData[1] & 0x7F;
  const std::int32_t data2 = event.midiData[2] & 0x7F;
  if (status == kNoteOn && data2 > 0) {
    noteOn(data1, data2);
  } else if (status == kNoteOff || status == kNoteOn) {
    noteOff(data1);
  } else if (status == kControlChange && data1 == kAllSoundOff) {
    for (auto& voice : voices_) voice.silence();
  } else if (status == kControlChange && data1 == kAllNotesOff) {
    for (auto& voice : voices_) voice.release();
  }
}

void SynthProcessor::renderSegment(float** outputs, std::int32_t outputCount, std::int32_t offset,
                                   std::int32_t frames, const VoiceSettings& settings,
                                   float volume) {
  std::fill(mix_.begin(), mix_.begin() + frames, 0.0f);
  for (auto& voice : voices_) {
    if (voice.active()) voice.render(mix_.data(), frames, settings);
  }
  for (std::int32_t i = 0; i < frames; ++i) {
    volume_ += (volume - volume_) * kVolumeSmoothing;
    mix_[i] = limitBelowFullScale(mix_[i] * volume_);
  }
  for (std::int32_t c = 0; c < outputCount; ++c) {
    if (outputs[c]) std::copy(mix_.begin(), mix_.begin() + frames, outputs[c] + offset);
  }
}

void SynthProcessor::render(float** outputs, float** inputs, std::int32_t inputCount,
                            std::int32_t outputCount, std::int32_t frames) {
  (void)inputs;
  (void)inputCount;
  const VoiceSettings settings = currentSettings();
  const float volume = targetVolume();
  // An event at or beyond the block's end takes effect on its last frame.
  auto eventFrame = [frames](const kel::SEvent& e) {
    return std::clamp<std::int32_t>(e.deltaFrames, 0, frames - 1);
  };

  std::int32_t next = 0;
  std::int32_t position = 0;
  while (position < frames) {
    while (next < pendingCount_ && eventFrame(pending_[next]) <= position) {
      applyEvent(pending_[next++]);
    }
    std::int32_t end = next < pendingCount_ ? eventFrame(pending_[next]) : frames;
    end = std::min(end, position + kMixFrames);
    renderSegment(outputs, outputCount, position, end - position, settings, volume);
    position = end;
  }
  while (next < pendingCount_) applyEvent(pending_[next++]);
  pendingCount_ = 0;
}

}  // namespace demo
