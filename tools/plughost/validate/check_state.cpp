// state: for every parameter at 0, every parameter at 1 and random sets,
// one instance saves the same bytes twice when nothing changed, and again
// after restoring its own save; closed, a fresh instance restores it and
// saves the same bytes, with every parameter equal. The first save of each of two
// fresh instances lands, where the heap allows, in memory filled with a
// marker (another one each): bytes that hold the marker in both were never
// written. Broken data does not hurt. Then the state is heard: a fresh
// instance restoring a save plays like the instance that saved it, and like
// one given the same parameters one by one.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/sound_run.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr float kParameterTolerance = 1e-6f;
// Two markers no engine computes, one per fresh instance's first save.
constexpr unsigned char kMarkers[2][4] = {{0xD7, 0x3B, 0xA1, 0x5E}, {0x29, 0xC4, 0x6F, 0xB2}};
// Freed blocks of the chunk's size the heap may hand out next.
constexpr int kSeededBlocks = 16;

struct SavedState {
  std::vector<unsigned char> chunk;  // when the effect uses chunks
  std::vector<float> values;         // every parameter
};

bool usesChunks(ValidatedEffect& effect) {
  return effect.hasFlag(effFlagsProgramChunks);
}

// Frees blocks of `size` bytes filled with `marker`: the plug-in's next
// allocation of that size, from the same C runtime heap, is likely one of
// them. Only the host's own memory is touched.
void seedHeap(std::size_t size, const unsigned char* marker) {
  if (size == 0) return;
  void* blocks[kSeededBlocks];
  for (void*& block : blocks) {
    block = std::malloc(size);
    if (!block) continue;
    auto* bytes = static_cast<unsigned char*>(block);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = marker[i % 4];
  }
  for (void* block : blocks) std::free(block);
}

SavedState save(ValidatedEffect& effect, const unsigned char* marker = nullptr,
                std::size_t expectedSize = 0) {
  SavedState state;
  const int count = std::min(effect.parameterCount(), kMaxCheckedParameters);
  for (int i = 0; i < count; ++i) state.values.push_back(effect.getParameter(i));
  if (usesChunks(effect)) {
    if (marker) seedHeap(expectedSize, marker);
    void* data = nullptr;
    const VstIntPtr size = effect.dispatch(effGetChunk, 0, 0, &data);
    if (data && size > 0) {
      const auto* bytes = static_cast<const unsigned char*>(data);
      state.chunk.assign(bytes, bytes + size);
    }
  }
  return state;
}

void restore(ValidatedEffect& effect, const SavedState& state) {
  if (usesChunks(effect)) {
    std::vector<unsigned char> copy = state.chunk;
    effect.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()),
                    copy.empty() ? nullptr : copy.data());
  } else {
    for (std::size_t i = 0; i < state.values.size(); ++i) {
      effect.setParameter(static_cast<int>(i), state.values[i]);
    }
  }
}

std::string parameterName(ValidatedEffect& effect, int index) {
  return effect.text(effGetParamName, index, format("parameter %d", index));
}

// `what` names the second save, e.g. "a second save of the unchanged
// instance"; `set` the values set; false after a failure.
bool compare(CheckContext& context, ValidatedEffect& effect, const SavedState& saved,
             const SavedState& again, const char* what, const std::string& set) {
  for (std::size_t i = 0; i < saved.values.size() && i < again.values.size(); ++i) {
    if (!(std::fabs(saved.values[i] - again.values[i]) <= kParameterTolerance)) {
      const int index = static_cast<int>(i);
      context.fail(format("state not restored: parameter %d (%s) is %g in %s, %g when saved (%s)",
                          index, parameterName(effect, index).c_str(),
                          static_cast<double>(again.values[i]), what,
                          static_cast<double>(saved.values[i]), set.c_str()));
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
               "at byte %u) (%s)",
               what, static_cast<unsigned>(saved.chunk.size()),
               static_cast<unsigned>(again.chunk.size()), static_cast<unsigned>(at), set.c_str()));
    return false;
  }
  return true;
}

// Bytes holding the first marker in `first` and the second in `second`, at
// the same places: memory the engine never wrote. False after a failure.
bool allWritten(CheckContext& context, const SavedState& first, const SavedState& second) {
  std::size_t from = 0, count = 0, last = 0;
  for (std::size_t i = 0; i < first.chunk.size() && i < second.chunk.size(); ++i) {
    if (first.chunk[i] == kMarkers[0][i % 4] && second.chunk[i] == kMarkers[1][i % 4]) {
      if (count++ == 0) from = i;
      last = i;
    }
  }
  // A single byte may match both by chance; two or more in a row do not.
  if (count < 2) return true;
  context.fail(
      format("getChunk hands the host %u bytes it never wrote, from byte %u to %u of "
             "%u: they hold whatever the memory held before",
             static_cast<unsigned>(count), static_cast<unsigned>(from), static_cast<unsigned>(last),
             static_cast<unsigned>(first.chunk.size())));
  return false;
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
      context.fail(format("parameter %d (%s) answers %g after restoring %s", i,
                          parameterName(effect, i).c_str(), static_cast<double>(value), what));
      break;
    }
  }
}

struct ValueSet {
  std::string name;
  std::vector<float> values;
};

std::vector<ValueSet> valueSets(CheckContext& context, int count) {
  std::vector<ValueSet> sets = {{"every parameter at 0", std::vector<float>(count, 0.0f)},
                                {"every parameter at 1", std::vector<float>(count, 1.0f)}};
  for (int s = 1; s <= 2 + context.level(); ++s) {
    ValueSet set{format("random set %d", s), {}};
    for (int i = 0; i < count; ++i) set.values.push_back(context.uniform(0.0f, 1.0f));
    sets.push_back(std::move(set));
  }
  return sets;
}

// One set: a fresh instance (the saver) saves twice, restores its own save
// and saves again; closed, a second fresh instance restores it and saves.
// The saver is closed first: whatever an engine keeps in its library, not in
// the instance, is then all the second one can find. False after a failure.
bool checkSet(CheckContext& context, const ValueSet& set, SavedState& saved) {
  {
    ValidatedEffect saver(context);
    for (std::size_t i = 0; i < set.values.size(); ++i) {
      saver.setParameter(static_cast<int>(i), set.values[i]);
    }
    saved = save(saver);
    // A save must not change what the next one holds (a save counter, a time).
    if (!compare(context, saver, saved, save(saver), "a second save of the unchanged instance",
                 set.name)) {
      return false;
    }
    restore(saver, saved);
    if (!compare(context, saver, saved, save(saver), "the save after restoring its own save",
                 set.name)) {
      return false;
    }
  }
  ValidatedEffect second(context);
  restore(second, saved);
  return compare(context, second, saved, save(second), "a fresh instance's save after restoring it",
                 set.name);
}

// The first saves of two fresh instances, one given `set`, one restoring a
// save of it, each landing on its own marker. False after a failure.
bool checkWritten(CheckContext& context, const ValueSet& set) {
  SavedState saved, first, second;
  const auto given = [&](const unsigned char* marker, std::size_t size) {
    ValidatedEffect effect(context);
    for (std::size_t i = 0; i < set.values.size(); ++i) {
      effect.setParameter(static_cast<int>(i), set.values[i]);
    }
    return save(effect, marker, size);
  };
  saved = given(nullptr, 0);
  first = given(kMarkers[0], saved.chunk.size());
  {
    ValidatedEffect effect(context);
    restore(effect, saved);
    second = save(effect, kMarkers[1], saved.chunk.size());
  }
  return allWritten(context, first, second);
}

// A fresh instance restoring `saved` plays like one given its parameters one
// by one, and so does an instance that was given `set` and saved. False
// after a failure; `silence` when the reference played nothing.
bool checkHeard(CheckContext& context, const ValueSet& set, const SavedState& saved,
                bool& silence) {
  int inputs;
  {
    ValidatedEffect probe(context);
    inputs = probe.inputCount();
  }
  Performance performance = makePerformance(inputs, soundFrames(1) / 2, 0);
  performance.parameters = saved.values;
  // Given the values one by one, twice: whether the effect plays the same twice.
  Recording reference;
  bool deterministic = true;
  if (!referenceRuns(context, performance, reference, deterministic, false)) return false;
  silence = silent(reference);
  if (silence) return true;
  ValidatedEffect effect(context);
  restore(effect, saved);
  Performance restored = performance;
  restored.parameters.clear();
  AudioThreads threads(1);
  Player player(context, effect, restored, threads);
  if (!playAll(player, {512}, false, 1, "after restoring a state")) return false;
  if (!sameSound(context, reference, player.recording(), deterministic,
                 "state heard: a fresh instance restoring a state plays differently from one "
                 "given the state's parameters one by one")) {
    return false;
  }
  ValidatedEffect saver(context);
  for (std::size_t i = 0; i < set.values.size(); ++i) {
    saver.setParameter(static_cast<int>(i), set.values[i]);
  }
  save(saver);
  AudioThreads ownThreads(1);
  Player own(context, saver, restored, ownThreads);
  if (!playAll(own, {512}, false, 1, "the instance that saved the state")) return false;
  return sameSound(context, reference, own.recording(), deterministic,
                   "state heard: the instance that saved a state plays differently from one "
                   "given the state's parameters one by one");
}

}  // namespace

void checkState(CheckContext& context) {
  bool chunks;
  int count;
  {
    ValidatedEffect probe(context);
    chunks = usesChunks(probe);
    count = std::min(probe.parameterCount(), kMaxCheckedParameters);
  }
  const std::vector<ValueSet> sets = valueSets(context, count);
  // Random values, as a user leaves them.
  if (chunks && !checkWritten(context, sets.back())) return;
  std::vector<SavedState> saves(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) {
    if (!checkSet(context, sets[s], saves[s])) return;
  }
  const SavedState& saved = saves.back();
  context.figure("state_bytes", static_cast<double>(saved.chunk.size()));
  context.figure("state_sets", static_cast<double>(sets.size()));
  // Heard with the first random set that makes a sound (one may be silent).
  bool silence = true;
  for (std::size_t s = 2; s < sets.size() && silence; ++s) {
    if (!checkHeard(context, sets[s], saves[s], silence)) return;
  }
  if (silence) context.note("every random set plays silence: the state was not heard");
  if (!chunks) return;

  ValidatedEffect fresh(context);
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
