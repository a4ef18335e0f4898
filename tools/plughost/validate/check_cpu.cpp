// cpu: the real-time factor, the time processing takes against the length
// of the audio processed, at 44.1, 48 and 96 kHz in small and large blocks.
// Slower than real time fails, as soon as it shows.
#include <windows.h>

#include <algorithm>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

const float kRates[] = {44100.0f, 48000.0f, 96000.0f};
const int kBlocks[] = {32, 4096};
// Audio processed before a case may fail: one slow block on a loaded
// machine is not a slow effect.
constexpr double kJudgedAfterSeconds = 0.1;

double counterSeconds() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / frequency;
}

}  // namespace

void checkCpu(CheckContext& context) {
  ValidatedEffect effect(context);
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), 4096);
  const double seconds = cpuSecondsPerCase(context.level());
  double worst = 0.0;
  std::string summary;
  for (float rate : kRates) {
    for (int block : kBlocks) {
      effect.start(rate, block);
      const long frames = static_cast<long>(seconds * rate);
      double busy = 0.0;
      long done = 0;
      for (; done < frames; done += block) {
        audio.prepare(Signal::Noise, block, false, context.random(), done);
        const double start = counterSeconds();
        effect.process(audio.inputs(), audio.outputs(), block);
        busy += counterSeconds() - start;
        const double length = static_cast<double>(done + block) / rate;
        if (length >= kJudgedAfterSeconds && busy > length) {
          context.figure("slower_than_realtime", 1);
          context.fail(
              format("slower than real time: %.3f s to process %.3f s of audio at %.0f "
                     "Hz in %d-frame blocks (real-time factor %.2f)",
                     busy, length, static_cast<double>(rate), block, busy / length));
          return;
        }
      }
      effect.stop();
      const double factor = busy / (static_cast<double>(done) / rate);
      worst = std::max(worst, factor);
      summary += format("%s%.0f Hz/%d: %.4f", summary.empty() ? "" : ", ",
                        static_cast<double>(rate), block, factor);
    }
  }
  context.figure("realtime_factor", worst);
  context.note("real-time factor (processing time / audio time) " + summary);
}

}  // namespace plughost
