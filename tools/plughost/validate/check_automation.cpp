// automation: random parameter changes between blocks on an audio thread of
// its own (hosts automate from there, not from the thread that opened the
// effect), and from a second thread while the audio runs at higher levels.
#include <algorithm>
#include <atomic>

#include "platform/platform.h"
#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kBlock = 256;
constexpr int kSecondThreadLevel = 3;

struct Automator {
  ValidatedEffect* effect;
  std::atomic<bool> stop{false};
  std::atomic<long> changes{0};
  unsigned seed;
};

// [automation thread] Random values to random parameters until told to stop.
void automate(void* argument) {
  auto* automator = static_cast<Automator*>(argument);
  AEffect& record = automator->effect->record();
  unsigned state = automator->seed;
  while (!automator->stop.load()) {
    state = state * 1664525u + 1013904223u;
    const int index = static_cast<int>((state >> 8) % static_cast<unsigned>(record.numParams));
    const FloatingPointState before = readFloatingPointState();
    record.setParameter(&record, index, static_cast<float>((state >> 12) & 0xFFFF) / 65535.0f);
    automator->effect->compareFloatingPoint(before, "setParameter");
    automator->changes.fetch_add(1);
  }
}

struct AudioRun {
  CheckContext* context;
  ValidatedEffect* effect;
  GuardedAudio* audio;
  long made = 0;
};

// [audio] The blocks, each after a few random parameter changes.
void runBlocks(void* argument) {
  auto* run = static_cast<AudioRun*>(argument);
  CheckContext& context = *run->context;
  std::uniform_int_distribution<int> index(0, run->effect->parameterCount() - 1);
  std::uniform_int_distribution<int> changes(0, 8);
  for (int block = 0; block < automationBlocks(context.level()); ++block) {
    for (int n = changes(context.random()); n > 0; --n, ++run->made) {
      run->effect->setParameter(index(context.random()), context.uniform(0.0f, 1.0f));
    }
    if (!processChecked(context, *run->effect, *run->audio, Signal::Noise, kBlock, false,
                        block * kBlock, "noise with automated parameters")) {
      break;
    }
  }
}

}  // namespace

void checkAutomation(CheckContext& context) {
  ValidatedEffect effect(context);
  const int parameters = effect.parameterCount();
  if (parameters <= 0) {
    context.skip("the effect has no parameters");
    return;
  }
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kBlock);
  effect.start(44100.0f, kBlock);
  Automator automator{&effect, {false}, {0}, static_cast<unsigned>(context.random()())};
  platform::Thread thread;
  if (context.level() >= kSecondThreadLevel) thread.start(automate, &automator);
  // The context is the audio thread's alone until it ends.
  AudioRun run{&context, &effect, &audio};
  platform::Thread audioThread;
  if (audioThread.start(runBlocks, &run)) {
    audioThread.join();
  } else {
    runBlocks(&run);
  }
  const long made = run.made;
  automator.stop = true;
  thread.join();
  effect.stop();
  context.figure("parameter_changes", static_cast<double>(made + automator.changes.load()));
}

}  // namespace plughost
