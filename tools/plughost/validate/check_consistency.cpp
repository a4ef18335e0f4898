// consistency: the same sound whatever the host does. A reference run (steady
// 512-frame blocks from one audio thread) is made twice, on two fresh
// instances, to learn whether the effect plays the same twice; then the same
// performance in irregular blocks, from three threads in turn, and beside a
// second instance that plays other settings and signals block by block
// must each play the reference: sample for sample when the effect plays the
// same twice, by level otherwise.
#include <memory>
#include <random>

#include "validate/check_list.h"
#include "validate/sound_run.h"

namespace plughost {
namespace {

constexpr int kSteadyBlock = 512;

// Irregular blocks covering `frames`: the smallest, the largest and odd
// sizes first, then random ones of every magnitude.
std::vector<int> irregularBlocks(std::mt19937& random, long frames) {
  std::vector<int> sizes = {1, 8192, 3, 2, 511, 7, 4096, 1, 1000, 13};
  long total = 0;
  for (int size : sizes) total += size;
  std::uniform_int_distribution<int> magnitude(0, 9);
  while (total < frames) {
    const int kind = magnitude(random);
    const int largest = kind < 5 ? 64 : kind < 8 ? 1024 : 8192;
    const int size = std::uniform_int_distribution<int>(1, largest)(random);
    sizes.push_back(size);
    total += size;
  }
  return sizes;
}

}  // namespace

void checkConsistency(CheckContext& context) {
  int inputs, parameters;
  {
    ValidatedEffect probe(context);
    inputs = probe.inputCount();
    parameters = std::min(probe.parameterCount(), kMaxCheckedParameters);
  }
  const long frames = soundFrames(context.level());
  const Performance performance = makePerformance(inputs, frames, 0);
  Recording reference;
  bool deterministic = true;
  if (!referenceRuns(context, performance, reference, deterministic)) return;

  Recording recording;
  const std::vector<int> irregular = irregularBlocks(context.random(), frames);
  if (freshRun(context, performance, irregular, false, "irregular blocks", recording)) {
    sameSound(context, reference, recording, deterministic,
              "block partition: irregular blocks of 1 to 8192 frames play differently from "
              "512-frame blocks");
  }
  if (freshRun(context, performance, {kSteadyBlock}, true, "three threads in turn", recording)) {
    sameSound(context, reference, recording, deterministic,
              "thread: blocks from three threads in turn play differently from blocks from one "
              "thread");
  }

  // A neighbour with other settings and another signal.
  Performance other = makePerformance(inputs, frames, 1);
  for (int i = 0; i < parameters; ++i) other.parameters.push_back(context.uniform(0.0f, 1.0f));
  Recording otherReference;
  if (!freshRun(context, other, {kSteadyBlock}, false, "second instance alone", otherReference)) {
    return;
  }
  AudioThreads threads(1);
  ValidatedEffect first(context);
  ValidatedEffect second(context);
  Player one(context, first, performance, threads);
  Player two(context, second, other, threads);
  one.begin();
  two.begin();
  while (!one.finished() || !two.finished()) {
    if (!one.play(kSteadyBlock, 0, "first of two instances in turn") ||
        !two.play(kSteadyBlock, 0, "second of two instances in turn")) {
      return;
    }
  }
  if (sameSound(context, reference, one.recording(), deterministic,
                "neighbour: an instance playing in turn with a second one (other settings and "
                "signal) plays differently from alone")) {
    sameSound(context, otherReference, two.recording(), deterministic,
              "neighbour: the second of two instances playing in turn plays differently from "
              "alone");
  }
  context.figure("sound_frames", static_cast<double>(frames));
}

}  // namespace plughost
