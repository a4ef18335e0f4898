// extremes: while audio runs, every parameter at 0 and at 1, one at a time
// (the others at their defaults) and all together; effects that take MIDI
// hold a loud chord meanwhile. The output stays finite and within
// kOutputBound.
#include <algorithm>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/event_block.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kBlock = 256;

// Noise, then full scale: what an extreme setting does to both.
bool playBlocks(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio,
                const std::string& where) {
  const int blocks = 2 + 2 * context.level();
  for (int block = 0; block < blocks; ++block) {
    const Signal signal = block < blocks / 2 ? Signal::Noise : Signal::FullScale;
    if (!processChecked(context, effect, audio, signal, kBlock, false, block * kBlock,
                        where + ", " + signalName(signal))) {
      return false;
    }
  }
  return true;
}

void holdChord(ValidatedEffect& effect) {
  EventBlock chord(4);
  for (int n = 0; n < 4; ++n) chord.add(0, 0x90, static_cast<unsigned char>(36 + 12 * n), 127);
  effect.dispatch(effProcessEvents, 0, 0, chord.events());
}

}  // namespace

void checkExtremes(CheckContext& context) {
  ValidatedEffect effect(context);
  const int count = std::min(effect.parameterCount(), kMaxCheckedParameters);
  if (count <= 0) {
    context.skip("the effect has no parameters");
    return;
  }
  std::vector<float> defaults;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    defaults.push_back(effect.getParameter(i));
    names.push_back(effect.text(effGetParamName, i, format("parameter %d", i)));
  }
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kBlock);
  effect.start(44100.0f, kBlock);
  if (effect.takesMidi()) holdChord(effect);
  if (!playBlocks(context, effect, audio, "default settings")) return;
  for (int i = 0; i < count; ++i) {
    for (float value : {0.0f, 1.0f}) {
      effect.setParameter(i, value);
      if (!playBlocks(
              context, effect, audio,
              format("parameter %d (%s) at %g", i, names[static_cast<std::size_t>(i)].c_str(),
                     static_cast<double>(value)))) {
        return;
      }
    }
    effect.setParameter(i, defaults[static_cast<std::size_t>(i)]);
  }
  for (float value : {0.0f, 1.0f}) {
    for (int i = 0; i < count; ++i) effect.setParameter(i, value);
    if (!playBlocks(context, effect, audio,
                    format("every parameter at %g", static_cast<double>(value)))) {
      return;
    }
  }
  effect.stop();
  context.figure("extreme_settings", 2.0 * count + 2.0);
}

}  // namespace plughost
