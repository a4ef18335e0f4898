// The tone processor's processing, parameters and state, in-process: no
// host, no bridge. Exits 1 naming each failed case.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tone_processor.h"

namespace {

int failures = 0;

void expect(bool ok, const char* what) {
  if (ok) return;
  std::printf("FAIL: %s\n", what);
  ++failures;
}

constexpr float kSentinel = -12345.0f;

// Runs `frames` samples of `signal` (per frame) through a fresh stereo
// processor at 48 kHz and answers the left output; the frames past the block
// must keep their sentinel.
std::vector<float> run(std::int32_t cutoff, std::int32_t gain, std::int32_t frames,
                       double (*signal)(std::int32_t)) {
  mytone::ToneProcessor tone;
  tone.setSampleRate(48000.0f);
  tone.setParameter(mytone::kCutoff, cutoff);
  tone.setParameter(mytone::kGain, gain);
  std::vector<float> in(frames), left(frames + 4, kSentinel), right(frames + 4, kSentinel);
  for (std::int32_t i = 0; i < frames; ++i) in[i] = static_cast<float>(signal(i));
  float* inputs[2] = {in.data(), in.data()};
  float* outputs[2] = {left.data(), right.data()};
  tone.process(outputs, inputs, frames, nullptr);
  for (int i = 0; i < 4; ++i) {
    expect(left[frames + i] == kSentinel && right[frames + i] == kSentinel,
           "nothing written past the block");
  }
  left.resize(frames);
  return left;
}

double peak(const std::vector<float>& samples, std::size_t from) {
  double result = 0.0;
  for (std::size_t i = from; i < samples.size(); ++i)
    result = std::fmax(result, std::fabs(samples[i]));
  return result;
}

double dc(std::int32_t) {
  return 1.0;
}
double sine10k(std::int32_t i) {
  return std::sin(2.0 * 3.14159265358979 * 10000.0 * i / 48000.0);
}

}  // namespace

int main() {
  // {cutoff Hz, gain in 0.1 dB, signal, expected steady peak, tolerance, case}: the
  // sine cases expect the one-pole response a / |1 - (1 - a) e^-jw|, which the
  // sampled peaks reach to within a few thousandths.
  struct Case {
    std::int32_t cutoff, gain;
    double (*signal)(std::int32_t);
    double expected, tolerance;
    const char* name;
  };
  const Case cases[] = {
      {1000, 0, dc, 1.0, 1e-4, "DC passes at 0 dB"},
      {1000, -60, dc, 0.501187, 1e-4, "DC at -6.0 dB"},
      {1000, 120, dc, 3.981072, 1e-3, "DC at +12.0 dB"},
      {20000, 0, sine10k, 0.9425, 0.004, "10 kHz through a 20 kHz cutoff"},
      {100, 0, sine10k, 0.01075, 0.0002, "10 kHz through a 100 Hz cutoff"},
  };
  for (const Case& c : cases) {
    const std::vector<float> out = run(c.cutoff, c.gain, 48000, c.signal);
    const double level = peak(out, 24000);
    if (std::fabs(level - c.expected) > c.tolerance) {
      std::printf("  %s: peak %.6f, expected %.6f\n", c.name, level, c.expected);
      expect(false, c.name);
    }
  }

  mytone::ToneProcessor tone;
  tone.setParameter(mytone::kCutoff, 5);
  tone.setParameter(mytone::kGain, 9999);
  expect(tone.getParameter(mytone::kCutoff) == mytone::kCutoffMin, "cutoff clamps to 20 Hz");
  expect(tone.getParameter(mytone::kGain) == mytone::kGainMax, "gain clamps to +12.0 dB");
  tone.setParameter(2, 1);
  expect(tone.getParameter(2) == 0, "an unknown index reads 0");

  // State: a chunk restores into a fresh processor; anything else is ignored.
  tone.setParameter(mytone::kCutoff, 440);
  tone.setParameter(mytone::kGain, -35);
  std::uint8_t chunk[mytone::kChunkSize + 1];
  std::memset(chunk, 0xAA, sizeof chunk);
  tone.getChunk(chunk);
  expect(chunk[mytone::kChunkSize] == 0xAA, "getChunk writes its size only");
  mytone::ToneProcessor restored;
  restored.setChunk(chunk, mytone::kChunkSize);
  expect(
      restored.getParameter(mytone::kCutoff) == 440 && restored.getParameter(mytone::kGain) == -35,
      "a chunk restores both values");
  struct BadChunk {
    std::size_t at;
    std::uint8_t value;
    std::int32_t size;
    const char* name;
  };
  const BadChunk bad[] = {{0, 0, mytone::kChunkSize - 1, "a short chunk"},
                          {0, 'X', mytone::kChunkSize, "a foreign magic"},
                          {4, 2, mytone::kChunkSize, "a newer version"},
                          {11, 0x7F, mytone::kChunkSize, "a cutoff out of range"}};
  for (const BadChunk& b : bad) {
    std::uint8_t copy[mytone::kChunkSize];
    std::memcpy(copy, chunk, sizeof copy);
    copy[b.at] = b.value;
    mytone::ToneProcessor fresh;
    fresh.setChunk(copy, b.size);
    const bool untouched = fresh.getParameter(mytone::kCutoff) == mytone::kCutoffDefault &&
                           fresh.getParameter(mytone::kGain) == mytone::kGainDefault;
    if (!untouched) std::printf("  %s was taken\n", b.name);
    expect(untouched, "a bad chunk is ignored");
  }

  std::printf("%s\n", failures ? "tone_processor_test: FAILED" : "tone_processor_test: passed");
  return failures ? 1 : 0;
}
