// audio: sample rates, block sizes (fixed and varying), in-place buffers and
// four input signals; the output stays finite and bounded and within the
// block. Warns (a failure under --strict) when an effect's response at two
// rates shows that it ignores the rate, and when subnormal numbers come out
// after signal then silence.
#include <algorithm>
#include <cmath>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/sound_compare.h"
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

// The impulse response after a stretch of silence, kResponseFrames long,
// first output channel: to see whether the rate matters.
constexpr int kResponseFrames = 8192;
std::vector<float> impulseResponse(CheckContext& context, ValidatedEffect& effect,
                                   GuardedAudio& audio, float rate) {
  effect.start(rate, kMaxBlock);
  for (int block = 0; block < 4; ++block) {
    processChecked(context, effect, audio, Signal::Silence, 4096, false, 0, "silence");
  }
  std::vector<float> response;
  for (long done = 0; done < kResponseFrames; done += 4096) {
    processChecked(context, effect, audio, Signal::Impulse, 4096, false, done, "impulse response");
    if (audio.outputCount() > 0) {
      response.insert(response.end(), audio.output(0), audio.output(0) + audio.frames());
    }
  }
  effect.stop();
  return response;
}

// Whether the effect follows the sample rate: its magnitude response at 44.1
// and 96 kHz compared over the same frequencies and over the same fractions
// of the rate, which catches short responses (a one-pole filter) as well as
// long ones. A flat response (a gain, a fixed delay) tells nothing.
void judgeRate(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio) {
  if (effect.inputCount() <= 0) {
    context.note("the effect takes no input: its response to the sample rate was not measured");
    return;
  }
  const std::vector<float> at44 = impulseResponse(context, effect, audio, 44100.0f);
  const std::vector<float> at96 = impulseResponse(context, effect, audio, 96000.0f);
  const RateComparison comparison = compareRates(at44, 44100.0, at96, 96000.0);
  context.figure("rate_same_hz_db", comparison.sameHzDb);
  context.figure("rate_same_fraction_db", comparison.sameFractionDb);
  if (ignoresRate(comparison)) {
    context.warn(
        format("the effect ignores the sample rate: its response at 96000 Hz is that at 44100 Hz "
               "stretched by the rates' ratio (within %.2f dB), so it differs by up to %.1f dB at "
               "the same frequencies",
               comparison.sameFractionDb, comparison.sameHzDb));
  } else if (comparison.sameHzDb < kSameResponseDb && comparison.sameFractionDb < kSameResponseDb) {
    context.note("the response does not depend on the sample rate (a flat response)");
  } else {
    context.note("the output depends on the sample rate");
  }
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
  judgeRate(context, effect, audio);
  noteSubnormals(context, effect, audio);
}

}  // namespace plughost
