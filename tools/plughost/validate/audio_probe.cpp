#include "validate/audio_probe.h"

#include <cmath>

namespace plughost {

double decibels(float peak) {
  return 20.0 * std::log10(std::max(1e-30, static_cast<double>(peak)));
}

bool processChecked(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio,
                    Signal signal, int frames, bool inPlace, long offset,
                    const std::string& where) {
  audio.prepare(signal, frames, inPlace, context.random(), offset, effect.replaces());
  effect.process(audio.inputs(), audio.outputs(), frames);
  context.calling("(checking the output of a %d-frame block)", frames);
  const std::string guard = audio.guardFault();
  if (!guard.empty()) {
    context.fail("the effect " + guard + " (" + where + ")");
    return false;
  }
  const std::string unwritten = audio.unwrittenOutput();
  if (!unwritten.empty()) {
    context.fail(format("processReplacing %s of a %d-frame block (%s)", unwritten.c_str(), frames,
                        where.c_str()));
    return false;
  }
  const float peak = audio.outputPeak();
  if (std::isnan(peak)) {
    context.fail("output is not finite (" + where + ")");
    return false;
  }
  if (peak > kOutputBound) {
    context.fail(format("output reaches %.3g (%+.1f dBFS), beyond the +36 dBFS bound (%s)",
                        static_cast<double>(peak), decibels(peak), where.c_str()));
    return false;
  }
  return true;
}

}  // namespace plughost
