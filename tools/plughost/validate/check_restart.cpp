// restart: what hosts do between plays and while playing. Resumed
// (effMainsChanged 0, then 1) an instance plays like a fresh one: hosts
// suspend and resume to start a render or a play from silence. Suspended,
// given another sample rate and block size, then resumed, it plays like a
// fresh instance started at them: hosts do this when the audio device
// changes. Given a new rate or block size while running, or resumed twice,
// it keeps playing finite and bounded output: some hosts do that too.
#include <algorithm>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/sound_run.h"

namespace plughost {
namespace {

constexpr int kBlock = 512;

// Changes made while the effect runs, each followed by noise.
void changeWhileRunning(CheckContext& context) {
  ValidatedEffect effect(context);
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), 4096);
  effect.start(44100.0f, kBlock);
  struct Change {
    const char* what;
    VstInt32 opcode;
    VstIntPtr value;
    float opt;
    int frames;
  };
  const Change changes[] = {
      {"effSetSampleRate(96000) while running", effSetSampleRate, 0, 96000.0f, kBlock},
      {"effSetBlockSize(4096) while running", effSetBlockSize, 4096, 0.0f, 4096},
      {"effSetSampleRate(22050) while running", effSetSampleRate, 0, 22050.0f, 4096},
      {"effSetBlockSize(64) while running", effSetBlockSize, 64, 0.0f, 64},
      {"effMainsChanged(1) twice", effMainsChanged, 1, 0.0f, 64},
      {"effStopProcess and effStartProcess while running", effStopProcess, 0, 0.0f, 64},
  };
  long offset = 0;
  for (const Change& change : changes) {
    effect.dispatch(change.opcode, 0, change.value, nullptr, change.opt);
    if (change.opcode == effStopProcess) effect.dispatch(effStartProcess);
    for (int block = 0; block < 8; ++block, offset += change.frames) {
      if (!processChecked(context, effect, audio, Signal::Noise, change.frames, false, offset,
                          std::string("after ") + change.what)) {
        return;
      }
    }
  }
  effect.stop();
}

}  // namespace

void checkRestart(CheckContext& context) {
  int inputs;
  {
    ValidatedEffect probe(context);
    inputs = probe.inputCount();
  }
  const long frames = soundFrames(context.level()) / 2;
  const Performance performance = makePerformance(inputs, frames, 0);
  Recording reference;
  bool deterministic = true;
  if (!referenceRuns(context, performance, reference, deterministic)) return;

  {
    // The same instance twice, suspended and resumed in between.
    AudioThreads threads(1);
    ValidatedEffect effect(context);
    Player first(context, effect, performance, threads);
    if (!playAll(first, {kBlock}, false, 1, "before suspending")) return;
    effect.stop();
    Player again(context, effect, performance, threads);
    if (!playAll(again, {kBlock}, false, 1, "resumed")) return;
    const Difference difference = deterministic ? firstDifference(reference, again.recording())
                                                : levelDifference(reference, again.recording());
    if (difference.found) {
      context.warn(
          "resumed after effMainsChanged(0) and (1), the effect plays differently from "
          "a fresh instance: " +
          describe(difference) + " (it keeps sound from before the suspend)");
    }
  }

  // Another rate and block size while suspended.
  Performance at48 = performance;
  at48.rate = 48000.0f;
  at48.maxBlock = 1024;
  Recording reference48;
  if (!freshRun(context, at48, {1024}, false, "a fresh instance at 48000 Hz", reference48)) {
    return;
  }
  {
    // Silence first, so that only the change can make a difference.
    Performance quiet = performance;
    for (auto& channel : quiet.input) std::fill(channel.begin(), channel.end(), 0.0f);
    quiet.notes.clear();
    AudioThreads threads(1);
    ValidatedEffect effect(context);
    Player first(context, effect, quiet, threads);
    if (!playAll(first, {kBlock}, false, 1, "at 44100 Hz before the change")) return;
    effect.stop();
    Player changed(context, effect, at48, threads);
    if (!playAll(changed, {1024}, false, 1, "at 48000 Hz after the change")) return;
    if (!sameSound(context, reference48, changed.recording(), deterministic,
                   "suspended at 44100 Hz and 512 frames, resumed at 48000 Hz and 1024 frames, "
                   "the effect plays differently from a fresh instance started at them")) {
      return;
    }
  }
  changeWhileRunning(context);
}

}  // namespace plughost
