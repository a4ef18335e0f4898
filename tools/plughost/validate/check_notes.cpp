// notes: effects that take MIDI fall silent after the notes they play are
// released, by note-offs, and by all-notes-off (controller 123 on every
// channel, which hosts send when the transport stops): within
// kSecondsToSilence the output stays below kSilenceDb for a whole second.
// A note left sounding by note-offs fails; by all-notes-off only, it is a
// warning (hosts send note-offs too).
#include <algorithm>
#include <cmath>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/event_block.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kBlock = 512;
constexpr float kRate = 44100.0f;
constexpr double kSecondsToSilence = 30.0;
constexpr double kSilenceDb = -90.0;
const unsigned char kChord[] = {36, 48, 55, 60, 64, 67, 72, 96};
// The chord and all-notes-off on every channel, the most sent at once.
constexpr int kMostEvents = 16 + sizeof kChord;

// Messages gathered for frame 0 of the next block, sent and forgotten.
class Events {
 public:
  void add(unsigned char status, unsigned char data1, unsigned char data2) {
    block_.add(0, status, data1, data2);
  }
  void send(ValidatedEffect& effect) {
    effect.dispatch(effProcessEvents, 0, 0, block_.events());
    block_.clear();
  }

 private:
  EventBlock block_{kMostEvents};
};

// Plays until a whole second stays below kSilenceDb; the seconds it took,
// or a negative number when it never did (or after a failure).
double secondsToSilence(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio,
                        const std::string& where, float& lastPeak) {
  const long quietBlocksNeeded = static_cast<long>(kRate / kBlock) + 1;
  const long limit = static_cast<long>(kSecondsToSilence * kRate / kBlock);
  const float silence = static_cast<float>(std::pow(10.0, kSilenceDb / 20.0));
  long quiet = 0;
  lastPeak = 0.0f;
  for (long block = 0; block < limit; ++block) {
    if (!processChecked(context, effect, audio, Signal::Silence, kBlock, false, 0, where)) {
      return -2.0;
    }
    const float peak = audio.outputPeak();
    quiet = peak < silence ? quiet + 1 : 0;
    if (peak >= silence) lastPeak = peak;
    if (quiet >= quietBlocksNeeded) return (block + 1 - quiet) * kBlock / kRate;
  }
  return -1.0;
}

// Plays the chord for half a second, releases it by all-notes-off or by note-offs, and
// waits for silence. False when it never came (or after a failure).
bool releasedChord(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio,
                   bool allNotesOff, bool strict) {
  Events events;
  for (unsigned char note : kChord) events.add(0x90, note, 100);
  events.send(effect);
  for (int block = 0; block < static_cast<int>(kRate / 2 / kBlock); ++block) {
    if (!processChecked(context, effect, audio, Signal::Silence, kBlock, false, 0,
                        "a held chord")) {
      return false;
    }
  }
  const float chordPeak = audio.outputPeak();
  if (allNotesOff) {
    for (unsigned char channel = 0; channel < 16; ++channel) events.add(0xB0 | channel, 123, 0);
  } else {
    for (unsigned char note : kChord) events.add(0x80, note, 0);
  }
  events.send(effect);
  const char* how = allNotesOff ? "all-notes-off on every channel" : "note-offs";
  float lastPeak = 0.0f;
  const double seconds = secondsToSilence(context, effect, audio, how, lastPeak);
  if (seconds < -1.5) return false;
  if (seconds < 0.0) {
    const std::string message = format(
        "notes never stop: %.0f s after %s for a chord of 8 notes, the output still "
        "reaches %+.1f dBFS (the chord reached %+.1f dBFS)",
        kSecondsToSilence, how, decibels(lastPeak), decibels(chordPeak));
    if (strict) {
      context.fail(message);
    } else {
      context.warn(message);
    }
    return false;
  }
  context.figure(allNotesOff ? "seconds_to_silence_all_notes_off" : "seconds_to_silence", seconds);
  return true;
}

}  // namespace

void checkNotes(CheckContext& context) {
  ValidatedEffect effect(context);
  if (!effect.takesMidi()) {
    context.skip("the effect takes no MIDI");
    return;
  }
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kBlock);
  effect.start(kRate, kBlock);
  if (!releasedChord(context, effect, audio, false, true)) return;
  releasedChord(context, effect, audio, true, false);
  effect.stop();
}

}  // namespace plughost
