// threads: an audio thread processes while the UI thread reads and sets
// parameters, asks for texts and the state and idles, for a level-scaled
// time: no crash, no hang, finite output.
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "platform/platform.h"
#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kBlock = 128;

struct AudioThread {
  CheckContext* context;
  ValidatedEffect* effect;
  GuardedAudio* audio;
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::atomic<float> badPeak{0.0f};  // first peak that was not finite or beyond the bound
  std::atomic<bool> failed{false};
};

// [audio] Noise through the effect until told to stop or a block fails.
void runAudio(void* argument) {
  auto* thread = static_cast<AudioThread*>(argument);
  std::mt19937 random(1);
  // The record's function directly, noted in this thread's own slot.
  AEffect& record = thread->effect->record();
  const AEffectProcessProc processor = thread->effect->processor();
  while (processor && !thread->stop.load()) {
    thread->audio->prepare(Signal::Noise, kBlock, false, random);
    thread->context->calling("%s(%d frames) on the audio thread",
                             processor == record.processReplacing ? "processReplacing" : "process",
                             kBlock);
    const FloatingPointState before = readFloatingPointState();
    processor(&record, thread->audio->inputs(), thread->audio->outputs(), kBlock);
    thread->effect->compareFloatingPoint(
        before, thread->effect->replaces() ? "processReplacing" : "process");
    const float peak = thread->audio->outputPeak();
    if (!(peak <= kOutputBound)) {
      thread->badPeak = peak;
      thread->failed = true;
      break;
    }
    thread->blocks.fetch_add(1);
  }
}

}  // namespace

void checkThreads(CheckContext& context) {
  ValidatedEffect effect(context);
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kBlock);
  effect.start(44100.0f, kBlock);
  AudioThread audioThread;
  audioThread.context = &context;
  audioThread.effect = &effect;
  audioThread.audio = &audio;
  platform::Thread thread;
  if (!thread.start(runAudio, &audioThread)) {
    context.fail("cannot start an audio thread");
    return;
  }
  const double start = nowSeconds();
  const int parameters = effect.parameterCount();
  long uiCalls = 0;
  while (nowSeconds() - start < threadSeconds(context.level()) && !audioThread.failed.load()) {
    for (int i = 0; i < parameters && i < 64; ++i, uiCalls += 3) {
      effect.getParameter(i);
      effect.text(effGetParamDisplay, i, format("parameter %d", i));
      if (context.random()() % 4 == 0) effect.setParameter(i, context.uniform(0.0f, 1.0f));
    }
    void* chunk = nullptr;
    if (effect.hasFlag(effFlagsProgramChunks)) effect.dispatch(effGetChunk, 0, 0, &chunk);
    effect.dispatch(effIdle);
    effect.dispatch(effEditIdle);
    uiCalls += 3;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  audioThread.stop = true;
  context.calling("(waiting for the audio thread to finish its block)");
  thread.join();
  effect.stop();
  if (audioThread.failed.load()) {
    context.fail(format("the audio thread's output reaches %g while the UI thread works",
                        static_cast<double>(audioThread.badPeak.load())));
  }
  context.figure("thread_seconds", nowSeconds() - start);
  context.figure("audio_blocks", static_cast<double>(audioThread.blocks.load()));
  context.figure("ui_calls", static_cast<double>(uiCalls));
}

}  // namespace plughost
