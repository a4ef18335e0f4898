// Buffers handed to the plug-in with sentinel-filled guard regions around
// them, so a write past what the plug-in was given is seen afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace plughost {

// A 64-byte text buffer: the text area starts filled with a non-zero byte so
// an unterminated text is seen, and a guard follows it.
class GuardedText {
 public:
  static constexpr std::size_t kSize = 64;
  static constexpr std::size_t kGuard = 448;

  GuardedText();
  char* data() { return bytes_.data(); }
  // "" when the plug-in kept to the buffer; otherwise what it did wrong.
  std::string fault() const;
  // The text up to its NUL (at most kSize bytes).
  std::string text() const;

 private:
  std::vector<char> bytes_;
};

// What the input channels carry.
enum class Signal { Silence, Impulse, Noise, FullScale };
const char* signalName(Signal signal);

// Input and output channels of up to `maxFrames` frames, each between two
// guard regions, and two extra guard channels behind each pointer array.
// In place, the input pointers of the first channels are the output ones.
class GuardedAudio {
 public:
  GuardedAudio(int inputs, int outputs, int maxFrames);

  // Prepares one call of `frames` frames: inputs carry `signal` (starting
  // at frame `offset` of it), guards freshly filled, outputs zero or, with
  // `markOutputs` (for a replacing call, which must write every sample),
  // a sentinel that unwrittenOutput() looks for afterwards.
  void prepare(Signal signal, int frames, bool inPlace, std::mt19937& random, long offset = 0,
               bool markOutputs = false);
  float** inputs() { return inputPointers_.data(); }
  float** outputs() { return outputPointers_.data(); }

  // "" when nothing outside the `frames` given was written.
  std::string guardFault() const;
  // "" when every output sample marked by prepare() was written; otherwise
  // the first channel left with the sentinel, and how much of it.
  std::string unwrittenOutput() const;
  // Largest magnitude of the last call's output; NaN when any sample is not
  // finite.
  float outputPeak() const;
  // Subnormal samples in the last call's output.
  int subnormalCount() const;
  const float* output(int channel) const { return outputPointers_[channel]; }
  int outputCount() const { return outputs_; }
  int frames() const { return frames_; }

  static constexpr int kGuardFrames = 64;

 private:
  float* channelStart(int channel) { return storage_[channel].data() + kGuardFrames; }

  int inputs_;
  int outputs_;
  int maxFrames_;
  int frames_ = 0;
  bool marked_ = false;
  bool inPlace_ = false;
  std::vector<std::vector<float>> storage_;  // inputs, outputs, then 4 guard channels
  std::vector<float*> inputPointers_;        // inputs + 2 guard channels
  std::vector<float*> outputPointers_;       // outputs + 2 guard channels
};

}  // namespace plughost
