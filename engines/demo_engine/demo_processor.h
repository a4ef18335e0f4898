// Common base of the demo processors: parameters, saved state, channel counts
// and sample rate. Subclasses supply the sound through render() and, when they
// take MIDI, handleEvents().
//
// Threads, tagged on each operation: [audio] the host's audio thread (process,
// processEvents), [main] its other threads and the editor, [any thread] any
// of those. Parameter values are atomics; nothing on the audio path allocates
// or locks.
#pragma once

#include <cstdint>

#include "kel/kel_interfaces.h"
#include "parameter_bank.h"

namespace demo {

class DemoProcessor : public kel::IProcessor {
 public:
  static constexpr std::int32_t kMaxChannels = 8;
  // The sample rates setSampleRate accepts; others leave the rate as it was.
  static constexpr float kLowestSampleRate = 1000.0f;
  static constexpr float kHighestSampleRate = 768000.0f;

  DemoProcessor(std::uint16_t kind, const char* title, const ParameterDefinition* definitions,
                std::int32_t parameterCount);
  virtual ~DemoProcessor() = default;
  DemoProcessor(const DemoProcessor&) = delete;
  DemoProcessor& operator=(const DemoProcessor&) = delete;

  // [main] Destroys the processor; the bridge calls it once, after terminate().
  void release() override { delete this; }
  // [main], before/after any processing: nothing to set up or free.
  void initialize() override {}
  void terminate() override {}
  // [main] 0, or kel::kProcessorTakesMidi for processors that play notes.
  std::int32_t getFlags() override { return 0; }
  // [main] Clears the sound state so processing starts from silence.
  void activate() override { restart(); }
  void deactivate() override {}
  // [main] Stereo unless the configuration says otherwise.
  std::int32_t getDefaultOutputCount() override { return 2; }
  // [main] Channel counts, clamped to 0..kMaxChannels.
  void setInputCount(std::int32_t channels) override;
  void setOutputCount(std::int32_t channels) override;
  // [main] Informative only; render() copes with any block length.
  void setBlockSize(std::int32_t frames) override { blockSize_ = frames; }
  // [main], never during process(): rates outside
  // kLowestSampleRate..kHighestSampleRate are ignored.
  void setSampleRate(float hz) override;
  // [audio] Host buffers, outputs first; null arrays or frames <= 0 do nothing.
  void process(float** outputs, float** inputs, std::int32_t frames,
               std::int32_t* zeroWord) override;
  // [any thread] The fixed number of parameters, all automatable.
  std::int32_t getParameterCount() override { return parameters_.count(); }
  // [any thread] Fills `info` for a valid index, leaves it alone otherwise.
  void getParameterInfo(std::int32_t index, kel::SParameterInfo* info) override;
  // [any thread] 0 for an unknown index.
  std::int32_t getParameter(std::int32_t index) override { return parameters_.get(index); }
  // [any thread] Clamps to the bounds; an unknown index is ignored.
  void setParameter(std::int32_t index, std::int32_t value) override;
  // [any thread] The byte count getChunk() writes; fixed per processor.
  std::int32_t getChunkSize() override;
  // [main] A chunk that is not this processor's current format is ignored.
  void setChunk(void* bytes, std::int32_t byteCount) override;
  // [main] `buffer` holds getChunkSize() bytes, owned by the caller.
  void getChunk(void* buffer) override;
  // [audio], before the block the events belong to; records are copied.
  void processEvents(kel::SEvent* events, std::int32_t count) override;
  // [main] Nothing to do between blocks.
  void idle() override {}

  std::uint16_t kind() const { return kind_; }
  const char* title() const { return title_; }
  const ParameterBank& parameters() const { return parameters_; }
  float sampleRate() const { return sampleRate_; }

 protected:
  // [audio] `inputs` may be null or hold fewer channels than outputs.
  virtual void render(float** outputs, float** inputs, std::int32_t inputCount,
                      std::int32_t outputCount, std::int32_t frames) = 0;
  virtual void handleEvents(const kel::SEvent* events, std::int32_t count) {
    (void)events;
    (void)count;
  }
  // [main], never during process(): on activate and on sample rate changes.
  virtual void reset() {}
  // [audio], first block after a reset: smoothed values jump to their
  // settings, so settings made before processing starts apply from frame 0.
  virtual void settle() {}

  ParameterBank parameters_;

 private:
  void restart();

  std::uint16_t kind_;
  bool settled_ = false;
  const char* title_;
  std::int32_t inputCount_ = 2;
  std::int32_t outputCount_ = 2;
  std::int32_t blockSize_ = 512;
  float sampleRate_ = 44100.0f;
};

}  // namespace demo
