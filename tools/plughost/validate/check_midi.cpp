// midi: for effects that take MIDI, every note at low and high rates, the
// highest ones at 8 kHz, chords, all-notes-off, no events and the largest
// event count; the output stays finite and bounded.
#include <algorithm>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/event_block.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kBlock = 256;
constexpr int kLargestEventCount = 32768;

bool sendAndPlay(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio,
                 EventBlock& events, int blocks, const std::string& where) {
  effect.dispatch(effProcessEvents, 0, 0, events.events());
  events.clear();
  for (int b = 0; b < blocks; ++b) {
    if (!processChecked(context, effect, audio, Signal::Silence, kBlock, false, 0, where)) {
      return false;
    }
  }
  return true;
}

bool playNotes(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio, float rate,
               int firstNote) {
  EventBlock events(kLargestEventCount);
  effect.start(rate, kBlock);
  for (int note = firstNote; note < 128; ++note) {
    events.add(0, 0x90, static_cast<unsigned char>(note), 100);
    const std::string where = format("note %d at %.0f Hz", note, static_cast<double>(rate));
    if (!sendAndPlay(context, effect, audio, events, context.level(), where)) return false;
    events.add(0, 0x80, static_cast<unsigned char>(note), 0);
    if (!sendAndPlay(context, effect, audio, events, 1, where + ", released")) return false;
  }
  effect.stop();
  return true;
}

}  // namespace

void checkMidi(CheckContext& context) {
  ValidatedEffect effect(context);
  if (!effect.takesMidi()) {
    context.skip("the effect takes no MIDI");
    return;
  }
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kBlock);
  for (float rate : {8000.0f, 11025.0f, 44100.0f, 96000.0f, 192000.0f}) {
    if (!playNotes(context, effect, audio, rate, 0)) return;
  }
  if (!playNotes(context, effect, audio, 8000.0f, 100)) return;

  EventBlock events(kLargestEventCount);
  effect.start(44100.0f, kBlock);
  // Ten notes together, then all-notes-off.
  for (int n = 0; n < 10; ++n) events.add(0, 0x90, static_cast<unsigned char>(48 + 3 * n), 127);
  if (!sendAndPlay(context, effect, audio, events, 8, "ten notes at velocity 127")) return;
  const float peak = audio.outputPeak();
  if (peak > 1.0f) {
    context.note(format("warning: ten notes reach %+.1f dBFS", decibels(peak)));
  }
  events.add(0, 0xB0, 123, 0);
  if (!sendAndPlay(context, effect, audio, events, 4, "after all-notes-off")) return;
  if (!sendAndPlay(context, effect, audio, events, 2, "a block of no events")) return;
  // The largest count: note on and off pairs spread over one block.
  for (int i = 0; i < kLargestEventCount; i += 2) {
    const auto note = static_cast<unsigned char>(i / 2 % 128);
    events.add((i / 2) % kBlock, 0x90, note, 90);
    events.add((i / 2) % kBlock, 0x80, note, 0);
  }
  if (!sendAndPlay(context, effect, audio, events, 4, "32768 events in one block")) return;
  effect.stop();
}

}  // namespace plughost
