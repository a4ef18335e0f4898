// lifecycle: open, play and close the effect again and again in one
// process; memory and handles must not grow per cycle after a warm-up.
#include <memory>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/process_usage.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kWarmUpCycles = 3;
constexpr int kBlock = 256;
// Growth per cycle that counts as a leak: allocators keep some slack, an
// instance-sized leak is far above it.
constexpr double kLeakBytesPerCycle = 16 * 1024;
constexpr double kLeakHandlesPerCycle = 0.5;

void cycle(CheckContext& context, int number) {
  ValidatedEffect effect(context);
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kBlock);
  effect.start(44100.0f, kBlock);
  processChecked(context, effect, audio, Signal::Noise, kBlock, false, 0,
                 format("cycle %d", number));
}

}  // namespace

void checkLifecycle(CheckContext& context) {
  // The library stays loaded between cycles, as in a host with other
  // instances open; each cycle is one instance.
  auto keeper = std::make_unique<ValidatedEffect>(context);
  for (int i = 0; i < kWarmUpCycles; ++i) cycle(context, i);
  const ProcessUsage before = currentUsage();
  const int cycles = lifecycleCycles(context.level());
  for (int i = 0; i < cycles && context.failures() == 0; ++i) cycle(context, kWarmUpCycles + i);
  const ProcessUsage after = currentUsage();
  keeper.reset();
  const double bytes = (after.privateBytes - before.privateBytes) / cycles;
  const double handles = (after.handles - before.handles) / cycles;
  context.figure("cycles", cycles);
  context.figure("memory_growth_bytes_per_cycle", bytes);
  context.figure("handle_growth_per_cycle", handles);
  if (bytes > kLeakBytesPerCycle) {
    context.fail(format("memory grows by %.0f bytes per open/close cycle (above %.0f)", bytes,
                        kLeakBytesPerCycle));
  }
  if (handles > kLeakHandlesPerCycle) {
    context.fail(format("handles grow by %.2f per open/close cycle", handles));
  }
}

}  // namespace plughost
