// Process index 2: an eight-voice synth played by MIDI notes. Events arrive
// through processEvents() before the block they belong to and take effect at
// their delta frame. The mono voice mix goes to every output; inputs are
// ignored.
#pragma once

#include <array>

#include "demo_processor.h"
#include "synth_voice.h"

namespace demo {

class SynthProcessor : public DemoProcessor {
 public:
  enum Parameter : std::int32_t { kWaveform, kVolume, kAttack, kRelease, kParameterCount };
  static constexpr std::int32_t kVoiceCount = 8;
  static constexpr std::int32_t kMaxPendingEvents = 4096;

  SynthProcessor();

  // [main] This processor plays MIDI notes, so the host sends events.
  std::int32_t getFlags() override { return kel::kProcessorTakesMidi; }
  std::int32_t activeVoiceCount() const;

 protected:
  void render(float** outputs, float** inputs, std::int32_t inputCount, std::int32_t outputCount,
              std::int32_t frames) override;
  void handleEvents(const kel::SEvent* events, std::int32_t count) override;
  void reset() override;
  void settle() override;

 private:
  static constexpr std::int32_t kMixFrames = 256;

  void applyEvent(const kel::SEvent& event);
  void noteOn(std::int32_t note, std::int32_t velocity);
  void noteOff(std::int32_t note);
  void renderSegment(float** outputs, std::int32_t outputCount, std::int32_t offset,
                     std::int32_t frames, const VoiceSettings& settings, float volume);
  VoiceSettings currentSettings() const;
  float targetVolume() const;

  std::array<SynthVoice, kVoiceCount> voices_;
  std::array<kel::SEvent, kMaxPendingEvents> pending_;
  std::int32_t pendingCount_ = 0;
  std::array<float, kMixFrames> mix_;
  std::uint32_t noteCounter_ = 0;
  float volume_ = 0.0f;
};

}  // namespace demo
