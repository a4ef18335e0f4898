// state: one instance saves the same bytes twice when nothing changed, and
// again after restoring its own save; a fresh instance restores it and saves
// the same bytes, with every parameter equal; broken data does not hurt it.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr float kParameterTolerance = 1e-6f;

struct SavedState {
  std::vector<unsigned char> chunk;  // when the effect uses chunks
  std::vector<float> values;         // every parameter
};

bool usesChunks(ValidatedEffect& effect) {
  return effect.hasFlag(effFlagsProgramChunks);
}

SavedState save(ValidatedEffect& effect) {
  SavedState state;
  const int count = std::min(effect.parameterCount(), kMaxCheckedParameters);
  for (int i = 0; i < count; ++i) state.values.push_back(effect.getParameter(i));
  if (usesChunks(effect)) {
    void* data = nullptr;
    const VstIntPtr size = effect.dispatch(effGetChunk, 0, 0, &data);
    if (data && size > 0) {
      const auto* bytes = static_cast<const unsigned char*>(data);
      state.chunk.assign(bytes, bytes + size);
    }
  }
  return state;
}

void restore(ValidatedEffect& effect, SavedState& state) {
  if (usesChunks(effect)) {
    effect.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(state.chunk.size()),
                    state.chunk.empty() ? nullptr : state.chunk.data());
  } else {
    for (std::size_t i = 0; i < state.values.size(); ++i) {
      effect.setParameter(static_cast<int>(i), state.values[i]);
    }
  }
}

// `what` names the second save, e.g. "a second save of the unchanged
// instance"; false after a failure.
bool compare(CheckContext& context, const SavedState& saved, const SavedState& again,
             const char* what) {
  for (std::size_t i = 0; i < saved.values.size() && i < again.values.size(); ++i) {
    if (!(std::fabs(saved.values[i] - again.values[i]) <= kParameterTolerance)) {
      context.fail(format("state not restored: parameter %u is %g in %s, %g when saved",
                          static_cast<unsigned>(i), static_cast<double>(again.values[i]), what,
                          static_cast<double>(saved.values[i])));
      return false;
    }
  }
  if (saved.chunk != again.chunk) {
    std::size_t at = 0;
    while (at < saved.chunk.size() && at < again.chunk.size() &&
           saved.chunk[at] == again.chunk[at]) {
      ++at;
    }
    context.fail(
        format("%s differs from the first save (%u bytes, then %u; first difference "
               "at byte %u)",
               what, static_cast<unsigned>(saved.chunk.size()),
               static_cast<unsigned>(again.chunk.size()), static_cast<unsigned>(at)));
    return false;
  }
  return true;
}

// Restores damaged data, then checks that the effect still plays.
void restoreBroken(CheckContext& context, ValidatedEffect& effect, const char* what,
                   std::vector<unsigned char> bytes, bool nullPointer) {
  effect.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bytes.size()),
                  nullPointer ? nullptr : bytes.data());
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), 512);
  effect.start(44100.0f, 512);
  for (int block = 0; block < 4; ++block) {
    if (!processChecked(context, effect, audio, Signal::Noise, 512, false, block * 512L,
                        std::string("after restoring ") + what)) {
      break;
    }
  }
  effect.stop();
  for (int i = 0; i < std::min(effect.parameterCount(), kMaxCheckedParameters); ++i) {
    const float value = effect.getParameter(i);
    if (!std::isfinite(value)) {
      context.fail(format("parameter %d answers %g after restoring %s", i,
                          static_cast<double>(value), what));
      break;
    }
  }
}

}  // namespace

void checkState(CheckContext& context) {
  auto first = std::make_unique<ValidatedEffect>(context);
  const int count = std::min(first->parameterCount(), kMaxCheckedParameters);
  for (int i = 0; i < count; ++i) first->setParameter(i, context.uniform(0.0f, 1.0f));
  SavedState saved = save(*first);
  // A save must not change what the next one holds (a save counter, a time).
  if (!compare(context, saved, save(*first), "a second save of the unchanged instance")) return;
  restore(*first, saved);
  if (!compare(context, saved, save(*first), "the save after restoring its own save")) return;
  first.reset();

  ValidatedEffect fresh(context);
  restore(fresh, saved);
  compare(context, saved, save(fresh), "a fresh instance's save after restoring it");
  context.figure("state_bytes", static_cast<double>(saved.chunk.size()));
  if (!usesChunks(fresh) || context.failures() > 0) return;

  std::vector<unsigned char> garbage(std::max<std::size_t>(saved.chunk.size(), 64));
  for (auto& byte : garbage) byte = static_cast<unsigned char>(context.random()());
  std::vector<unsigned char> truncated(saved.chunk.begin(),
                                       saved.chunk.begin() + saved.chunk.size() / 2);
  restoreBroken(context, fresh, "truncated data", truncated, false);
  restoreBroken(context, fresh, "empty data", {}, false);
  restoreBroken(context, fresh, "a null pointer", {}, true);
  restoreBroken(context, fresh, "garbage", garbage, false);
}

}  // namespace plughost
