#include "tone_processor.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace mytone {
namespace {

constexpr std::uint32_t kChunkMagic = 0x6E6F544D;  // "MToN" read little-endian
constexpr std::uint32_t kChunkVersion = 1;
constexpr double kPi = 3.14159265358979323846;

struct Range {
  std::int32_t minimum;
  std::int32_t maximum;
};
constexpr Range kRanges[kParameterCount] = {{kCutoffMin, kCutoffMax}, {kGainMin, kGainMax}};

void putWord(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t getWord(const std::uint8_t* at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(at[i]) << (8 * i);
  return value;
}

bool inRange(std::int32_t index, std::int32_t value) {
  return value >= kRanges[index].minimum && value <= kRanges[index].maximum;
}

}  // namespace

ToneProcessor::ToneProcessor() {
  values_[kCutoff] = kCutoffDefault;
  values_[kGain] = kGainDefault;
}

void ToneProcessor::setInputCount(std::int32_t channels) {
  inputCount_ = std::clamp<std::int32_t>(channels, 0, kMaxChannels);
}

void ToneProcessor::setOutputCount(std::int32_t channels) {
  outputCount_ = std::clamp<std::int32_t>(channels, 0, kMaxChannels);
}

void ToneProcessor::setSampleRate(float hz) {
  // Zero, negative or not a number: keep the last rate.
  if (!(hz > 0.0f && hz <= 10e6f)) return;
  sampleRate_ = hz;
  reset();
}

void ToneProcessor::reset() {
  std::fill(std::begin(state_), std::end(state_), 0.0f);
}

void ToneProcessor::process(float** outputs, float** inputs, std::int32_t frames,
                            std::int32_t* zeroWord) {
  (void)zeroWord;
  if (!outputs || frames <= 0) return;
  // Above Nyquist the one-pole lowpass lets everything through.
  const double cutoff = std::min<double>(values_[kCutoff], sampleRate_ / 2);
  const float coefficient = static_cast<float>(1.0 - std::exp(-2.0 * kPi * cutoff / sampleRate_));
  const float gain = static_cast<float>(std::pow(10.0, values_[kGain] / 200.0));
  const std::int32_t inputCount = inputs ? inputCount_ : 0;
  for (std::int32_t c = 0; c < outputCount_; ++c) {
    float* out = outputs[c];
    if (!out) continue;
    // Fewer inputs than outputs: the last input feeds the rest.
    const float* in = inputCount > 0 ? inputs[std::min(c, inputCount - 1)] : nullptr;
    float y = state_[c];
    for (std::int32_t i = 0; i < frames; ++i) {
      y += coefficient * ((in ? in[i] : 0.0f) - y);
      // A decaying tail would go subnormal, which is slow on many processors.
      if (std::fabs(y) < 1e-20f) y = 0.0f;
      out[i] = y * gain;
    }
    state_[c] = y;
  }
}

void ToneProcessor::getParameterInfo(std::int32_t index, kel::SParameterInfo* info) {
  if (!info || index < 0 || index >= kParameterCount) return;
  info->automatable = 1;
  info->minimum = kRanges[index].minimum;
  info->maximum = kRanges[index].maximum;
  if (index == kCutoff) {
    info->name = "Cutoff";
    info->label = "Hz";
    info->decimals = 0;
    info->curve = kel::kCurveLogarithmic;
    info->logBase = 10;
  } else {
    info->name = "Gain";
    info->label = "dB";
    info->decimals = 1;
    info->curve = kel::kCurveLinear;
  }
}

std::int32_t ToneProcessor::getParameter(std::int32_t index) {
  return index >= 0 && index < kParameterCount ? values_[index].load() : 0;
}

void ToneProcessor::setParameter(std::int32_t index, std::int32_t value) {
  if (index < 0 || index >= kParameterCount) return;
  values_[index] = std::clamp(value, kRanges[index].minimum, kRanges[index].maximum);
}

void ToneProcessor::setChunk(void* bytes, std::int32_t byteCount) {
  if (!bytes || byteCount != kChunkSize) return;
  const auto* at = static_cast<const std::uint8_t*>(bytes);
  if (getWord(at) != kChunkMagic || getWord(at + 4) != kChunkVersion) return;
  const auto cutoff = static_cast<std::int32_t>(getWord(at + 8));
  const auto gain = static_cast<std::int32_t>(getWord(at + 12));
  if (!inRange(kCutoff, cutoff) || !inRange(kGain, gain)) return;
  values_[kCutoff] = cutoff;
  values_[kGain] = gain;
}

void ToneProcessor::getChunk(void* buffer) {
  if (!buffer) return;
  auto* at = static_cast<std::uint8_t*>(buffer);
  putWord(at, kChunkMagic);
  putWord(at + 4, kChunkVersion);
  putWord(at + 8, static_cast<std::uint32_t>(values_[kCutoff].load()));
  putWord(at + 12, static_cast<std::uint32_t>(values_[kGain].load()));
}

}  // namespace mytone
