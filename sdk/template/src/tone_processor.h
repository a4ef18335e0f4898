// MyTone's one processor: a one-pole lowpass with an output gain.
// Portable C++ (no Windows headers), so its unit test runs anywhere.
#pragma once

#include <atomic>
#include <cstdint>

#include "kel/kel_interfaces.h"

namespace mytone {

// Parameter indexes, in the order the host sees them.
enum ToneParameter : std::int32_t { kCutoff = 0, kGain = 1, kParameterCount = 2 };

// Fixed-point ranges: Cutoff in Hz (0 decimals, logarithmic), Gain in tenths
// of a dB (1 decimal, linear).
constexpr std::int32_t kCutoffMin = 20;
constexpr std::int32_t kCutoffMax = 20000;
constexpr std::int32_t kCutoffDefault = 2000;
constexpr std::int32_t kGainMin = -240;
constexpr std::int32_t kGainMax = 120;
constexpr std::int32_t kGainDefault = 0;

constexpr std::int32_t kMaxChannels = 8;
constexpr std::int32_t kChunkSize = 16;  // magic, version, cutoff, gain

class ToneProcessor final : public kel::IProcessor {
 public:
  ToneProcessor();

  // [main] The object is deleted; the bridge calls it once.
  void release() override { delete this; }

  void initialize() override {}
  void terminate() override {}
  std::int32_t getFlags() override { return 0; }  // an effect, not a synth
  void activate() override { reset(); }
  void deactivate() override {}
  std::int32_t getDefaultOutputCount() override { return 2; }
  void setInputCount(std::int32_t channels) override;
  void setOutputCount(std::int32_t channels) override;
  void setBlockSize(std::int32_t) override {}
  void setSampleRate(float hz) override;
  // [audio] Writes `frames` samples to every output; inputs may be null.
  void process(float** outputs, float** inputs, std::int32_t frames,
               std::int32_t* zeroWord) override;
  // [any thread] Values are fixed-point integers; out-of-range values clamp
  // and unknown indexes are ignored (getParameter answers 0 for them).
  std::int32_t getParameterCount() override { return kParameterCount; }
  void getParameterInfo(std::int32_t index, kel::SParameterInfo* info) override;
  std::int32_t getParameter(std::int32_t index) override;
  void setParameter(std::int32_t index, std::int32_t value) override;
  // [main] The state chunk; a chunk that is not ours or not valid is ignored
  // as a whole.
  std::int32_t getChunkSize() override { return kChunkSize; }
  void setChunk(void* bytes, std::int32_t byteCount) override;
  void getChunk(void* buffer) override;
  // [audio] MyTone takes no MIDI.
  void processEvents(kel::SEvent*, std::int32_t) override {}
  void idle() override {}

 private:
  void reset();

  std::atomic<std::int32_t> values_[kParameterCount];
  std::int32_t inputCount_ = 2;
  std::int32_t outputCount_ = 2;
  double sampleRate_ = 44100.0;
  float state_[kMaxChannels] = {};  // the lowpass's memory per output
};

}  // namespace mytone
