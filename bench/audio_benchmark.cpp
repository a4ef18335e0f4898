// Cost of the plug-in's audio path: the record's processReplacing entry, the
// effect's override and the forwarding call, on top of the engine's process().
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchmarks.h"
#include "report.h"

namespace bench {

namespace {
constexpr int kMaxFrames = 1024;
constexpr int kBlockSizes[] = {32, 64, 128, 256, 512, 1024};
constexpr int kTargetFrames = 64;
// Two indirect calls (the record's entry, the effect's override) and one
// into the engine: the least this design costs.
constexpr double kTargetOverheadNs = 6.0;
}  // namespace

void benchmarkAudio(AEffect& effect, kel::IProcessor& direct, testengine::Script& script,
                    const Timing& timing) {
  heading("1. processReplacing through the plug-in against the engine's process() called directly");
  script.processHalves = true;
  note("stereo in, stereo out; the test engine with processHalves = true does on both paths:");
  note("out[c][i] = in[c][i] * 0.5 for both channels, plus one count in its call log;");
  note("overhead = median of the differences between back-to-back runs of the two paths");

  std::vector<float> inLeft(kMaxFrames), inRight(kMaxFrames);
  std::vector<float> outLeft(kMaxFrames), outRight(kMaxFrames);
  for (int i = 0; i < kMaxFrames; ++i) {
    inLeft[i] = std::sin(0.01f * static_cast<float>(i));
    inRight[i] = std::cos(0.01f * static_cast<float>(i));
  }
  float* inputs[2] = {inLeft.data(), inRight.data()};
  float* outputs[2] = {outLeft.data(), outRight.data()};

  note("%6s %12s %12s %12s %10s", "frames", "direct ns", "plug-in ns", "overhead ns", "overhead");
  double targetPercent = 0.0;
  double targetOverhead = 0.0;
  for (const int frames : kBlockSizes) {
    auto directCall = [&direct, &inputs, &outputs, frames] {
      std::int32_t zeroWord = 0;
      direct.process(outputs, inputs, frames, &zeroWord);
    };
    auto pluginCall = [&effect, &inputs, &outputs, frames] {
      effect.processReplacing(&effect, inputs, outputs, frames);
    };
    const Pair result = medianNanosecondsOfPair(directCall, pluginCall, timing);
    const double overhead = result.difference;
    const double percent = 100.0 * overhead / result.first;
    note("%6d %12.1f %12.1f %12.1f %8.1f %%", frames, result.first, result.second, overhead,
         percent);
    if (frames == kTargetFrames) {
      targetPercent = percent;
      targetOverhead = overhead;
    }
  }
  char label[96];
  std::snprintf(label, sizeof label, "overhead per call at %d frames (%.1f %%)", kTargetFrames,
                targetPercent);
  target(label, targetOverhead, "ns", "<= 6 ns", targetOverhead <= kTargetOverheadNs);
}

}  // namespace bench
