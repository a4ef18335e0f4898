#include "validate/guarded_buffers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "validate/check_context.h"

namespace plughost {
namespace {

constexpr char kUnwrittenText = '\xCC';
constexpr char kTextGuard = '\xA5';
// A quiet NaN with a payload no plug-in computes: any store changes it.
constexpr std::uint32_t kSampleGuard = 0x7FC5A5A5u;
// The same kind of NaN, another payload, in the output samples a replacing
// call must write.
constexpr std::uint32_t kUnwrittenSample = 0x7FC3C3C3u;

float sampleFromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

float guardSample() {
  return sampleFromBits(kSampleGuard);
}

bool isUnwritten(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == kUnwrittenSample;
}

bool isGuard(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits == kSampleGuard;
}

}  // namespace

GuardedText::GuardedText() : bytes_(kSize + kGuard, kUnwrittenText) {
  std::memset(bytes_.data() + kSize, kTextGuard, kGuard);
}

std::string GuardedText::fault() const {
  std::size_t damaged = 0;
  for (std::size_t i = 0; i < kGuard; ++i) {
    if (bytes_[kSize + i] != kTextGuard) damaged = i + 1;
  }
  if (damaged > 0)
    return format("wrote %u bytes past the 64-byte buffer", static_cast<unsigned>(damaged));
  const bool written = std::any_of(bytes_.begin(), bytes_.begin() + kSize,
                                   [](char c) { return c != kUnwrittenText; });
  if (written && std::memchr(bytes_.data(), '\0', kSize) == nullptr) {
    return "wrote a text with no NUL in the 64-byte buffer";
  }
  return "";
}

std::string GuardedText::text() const {
  const void* end = std::memchr(bytes_.data(), '\0', kSize);
  if (!end) return "";
  return std::string(bytes_.data(), static_cast<const char*>(end));
}

const char* signalName(Signal signal) {
  switch (signal) {
    case Signal::Silence:
      return "silence";
    case Signal::Impulse:
      return "impulse";
    case Signal::Noise:
      return "noise";
    case Signal::FullScale:
      return "full-scale";
  }
  return "?";
}

GuardedAudio::GuardedAudio(int inputs, int outputs, int maxFrames)
    : inputs_(inputs), outputs_(outputs), maxFrames_(maxFrames) {
  const std::size_t length = static_cast<std::size_t>(maxFrames) + 2 * kGuardFrames;
  storage_.assign(static_cast<std::size_t>(inputs + outputs + 4),
                  std::vector<float>(length, guardSample()));
  for (int c = 0; c < inputs; ++c) inputPointers_.push_back(channelStart(c));
  inputPointers_.push_back(channelStart(inputs + outputs));
  inputPointers_.push_back(channelStart(inputs + outputs + 1));
  for (int c = 0; c < outputs; ++c) outputPointers_.push_back(channelStart(inputs + c));
  outputPointers_.push_back(channelStart(inputs + outputs + 2));
  outputPointers_.push_back(channelStart(inputs + outputs + 3));
}

void GuardedAudio::prepare(Signal signal, int frames, bool inPlace, std::mt19937& random,
                           long offset, bool markOutputs) {
  frames_ = std::min(frames, maxFrames_);
  marked_ = markOutputs;
  inPlace_ = inPlace;
  // Guards: everything of every channel outside [0, frames) is a sentinel.
  for (auto& channel : storage_) {
    std::fill(channel.begin(), channel.begin() + kGuardFrames, guardSample());
    std::fill(channel.begin() + kGuardFrames + frames_,
              channel.begin() + std::min<std::size_t>(channel.size(), kGuardFrames * 2 + frames_),
              guardSample());
  }
  for (int c = 0; c < inputs_; ++c) inputPointers_[c] = channelStart(c);
  if (inPlace) {
    for (int c = 0; c < std::min(inputs_, outputs_); ++c) inputPointers_[c] = outputPointers_[c];
  }
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  for (int c = 0; c < inputs_; ++c) {
    float* in = inputPointers_[c];
    for (int i = 0; i < frames_; ++i) {
      const long t = offset + i;
      switch (signal) {
        case Signal::Silence:
          in[i] = 0.0f;
          break;
        case Signal::Impulse:
          in[i] = t == 0 ? 1.0f : 0.0f;
          break;
        case Signal::Noise:
          in[i] = noise(random);
          break;
        case Signal::FullScale:
          in[i] = (t / 32) % 2 == 0 ? 1.0f : -1.0f;
          break;
      }
    }
  }
  for (int c = 0; c < outputs_; ++c) {
    if (inPlace && c < inputs_) continue;
    std::fill(outputPointers_[c], outputPointers_[c] + frames_,
              markOutputs ? sampleFromBits(kUnwrittenSample) : 0.0f);
  }
}

std::string GuardedAudio::unwrittenOutput() const {
  if (!marked_) return "";
  for (int c = 0; c < outputs_; ++c) {
    if (inPlace_ && c < inputs_) continue;
    const float* out = outputPointers_[c];
    const int left = static_cast<int>(std::count_if(out, out + frames_, isUnwritten));
    if (left == frames_) return format("never wrote output channel %d", c);
    if (left > 0) {
      const int first = static_cast<int>(std::find_if(out, out + frames_, isUnwritten) - out);
      return format("left %d of %d samples of output channel %d unwritten, the first at frame %d",
                    left, frames_, c, first);
    }
  }
  return "";
}

std::string GuardedAudio::guardFault() const {
  const int channels = static_cast<int>(storage_.size());
  for (int s = 0; s < channels; ++s) {
    const std::vector<float>& channel = storage_[s];
    const bool extra = s >= inputs_ + outputs_;
    const std::size_t used = extra ? 0 : static_cast<std::size_t>(frames_);
    const std::size_t end = std::min(channel.size(), kGuardFrames * 2 + used);
    for (std::size_t i = 0; i < end; ++i) {
      if (i >= kGuardFrames && i < kGuardFrames + used) continue;
      if (isGuard(channel[i])) continue;
      const long frame = static_cast<long>(i) - kGuardFrames;
      if (extra) {
        const bool input = s < inputs_ + outputs_ + 2;
        return format("wrote to %s channel %d, beyond the %d given", input ? "input" : "output",
                      (input ? inputs_ : outputs_) + (s - inputs_ - outputs_) % 2,
                      input ? inputs_ : outputs_);
      }
      const bool input = s < inputs_;
      return format("wrote %s channel %d at frame %ld of a %d-frame block",
                    input ? "input" : "output", input ? s : s - inputs_, frame, frames_);
    }
  }
  return "";
}

float GuardedAudio::outputPeak() const {
  float peak = 0.0f;
  for (int c = 0; c < outputs_; ++c) {
    const float* out = outputPointers_[c];
    for (int i = 0; i < frames_; ++i) {
      if (!std::isfinite(out[i])) return NAN;
      peak = std::max(peak, std::fabs(out[i]));
    }
  }
  return peak;
}

int GuardedAudio::subnormalCount() const {
  int count = 0;
  for (int c = 0; c < outputs_; ++c) {
    const float* out = outputPointers_[c];
    for (int i = 0; i < frames_; ++i) count += std::fpclassify(out[i]) == FP_SUBNORMAL;
  }
  return count;
}

}  // namespace plughost
