// audio: sample rates, block sizes (fixed and varying), in-place buffers and
// four input signals; the output stays finite and bounded and within the
// block. Warns (a failure under --strict) when an effect with memory gives
// the same output at two rates, and when subnormal numbers come out after
// signal then silence.
#include <algorithm>
#include <cmath>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kMaxBlock = 8192;
const int kBlockSizes[] = {1, 2, 3, 64, 511, 4096, 8192};
const Signal kSignals[] = {Signal::Silence, Signal::Impulse, Signal::Noise, Signal::FullScale};

// The lowest, the common and the highest rates at level 1; more above it.
std::vector<float> sampleRates(int level) {
  if (level == 1) return {8000, 11025, 44100, 48000, 96000, 192000};
  std::vector<float> rates = {8000, 11025, 22050, 44100, 48000, 88200, 96000, 176400, 192000};
  if (level >= 5) rates.push_back(384000);
  return rates;
}

// Frames each (rate, block size, signal) case runs: two blocks at least.
long framesPerCase(int level, int block) {
  return std::max<long>(2L * block, 1024L * level);
}

// Runs one case; false after a failure.
bool runCase(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio, float rate,
             int block, Signal signal, bool inPlace) {
  const std::string where = format("%s, %.0f Hz, %d-frame blocks%s", signalName(signal),
                                   static_cast<double>(rate), block, inPlace ? ", in place" : "");
  const long total = framesPerCase(context.level(), block);
  for (long done = 0; done < total; done += block) {
    if (!processChecked(context, effect, audio, signal, block, inPlace, done, where)) return false;
  }
  return true;
}

// Varying block sizes up to the announced maximum.
bool runVarying(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio, float rate) {
  std::uniform_int_distribution<int> size(1, kMaxBlock);
  long offset = 0;
  for (int block = 0; block < 20 * context.level(); ++block) {
    const int frames = size(context.random());
    if (!processChecked(context, effect, audio, Signal::Noise, frames, false, offset,
                        format("noise, %.0f Hz, varying blocks of up to %d frames",
                               static_cast<double>(rate), kMaxBlock))) {
      return false;
    }
    offset += frames;
  }
  return true;
}

// The first output samples of an impulse, to see whether the rate matters.
std::vector<float> impulseResponse(CheckContext& context, ValidatedEffect& effect,
                                   GuardedAudio& audio, float rate) {
  effect.start(rate, kMaxBlock);
  processChecked(context, effect, audio, Signal::Impulse, 256, false, 0, "impulse response");
  std::vector<float> response;
  for (int c = 0; c < audio.outputCount(); ++c) {
    response.insert(response.end(), audio.output(c), audio.output(c) + audio.frames());
  }
  effect.stop();
  return response;
}

// Noise then silence: subnormal output numbers cost hosts dearly.
void noteSubnormals(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio) {
  effect.start(44100.0f, kMaxBlock);
  for (int block = 0; block < 8; ++block) {
    processChecked(context, effect, audio, Signal::Noise, 4096, false, block * 4096L, "noise");
  }
  int subnormals = 0;
  for (int block = 0; block < 64; ++block) {
    if (!processChecked(context, effect, audio, Signal::Silence, 4096, false, 0, "silence")) break;
    subnormals += audio.subnormalCount();
  }
  effect.stop();
  if (subnormals > 0) {
    context.warn(format("%d subnormal output samples in the silence after noise", subnormals));
  }
  context.figure("subnormal_samples", subnormals);
}

}  // namespace

void checkAudio(CheckContext& context) {
  ValidatedEffect effect(context);
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kMaxBlock);
  long cases = 0;
  for (float rate : sampleRates(context.level())) {
    effect.start(rate, kMaxBlock);
    for (int block : kBlockSizes) {
      for (Signal signal : kSignals) {
        ++cases;
        if (!runCase(context, effect, audio, rate, block, signal, false)) return;
      }
    }
    if (!runCase(context, effect, audio, rate, 64, Signal::Noise, true) ||
        !runCase(context, effect, audio, rate, 511, Signal::FullScale, true) ||
        !runVarying(context, effect, audio, rate)) {
      return;
    }
    effect.stop();
  }
  context.figure("audio_cases", static_cast<double>(cases));
  const std::vector<float> at44 = impulseResponse(context, effect, audio, 44100.0f);
  const std::vector<float> at96 = impulseResponse(context, effect, audio, 96000.0f);
  // An impulse that rings on (a filter, a delay) has a length in time, so
  // the same ringing at 44.1 and 96 kHz means the rate is ignored. A gain
  // or any memoryless effect rightly answers the same at every rate.
  const int length = audio.frames();
  bool rings = false;
  for (std::size_t i = 0; i < at44.size(); ++i) {
    if (i % static_cast<std::size_t>(length) != 0 && at44[i] != 0.0f) rings = true;
  }
  if (at44 != at96) {
    context.note("the output depends on the sample rate");
  } else if (rings) {
    context.warn(
        "the impulse response rings on but is the same at 44100 and 96000 Hz: the effect "
        "ignores the sample rate");
  } else {
    context.note("the output does not depend on the sample rate (no ringing after an impulse)");
  }
  noteSubnormals(context, effect, audio);
}

}  // namespace plughost
