#include "validate/sound_run.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "validate/audio_probe.h"

namespace plughost {

Performance makePerformance(int inputs, long frames, unsigned variant) {
  Performance performance;
  performance.frames = frames;
  for (int c = 0; c < inputs; ++c) {
    std::uint32_t state = 0x9E3779B9u * (variant * 16u + static_cast<unsigned>(c) + 1u);
    std::vector<float> channel(static_cast<std::size_t>(frames));
    for (float& sample : channel) {
      state = state * 1664525u + 1013904223u;
      sample = static_cast<float>((state >> 8) & 0xFFFF) / 65536.0f - 0.5f;
    }
    performance.input.push_back(std::move(channel));
  }
  const unsigned char first = variant == 0 ? 60 : 67;
  const long on = variant == 0 ? 64 : 200;
  const long off = variant == 0 ? frames / 2 : frames * 2 / 3;
  for (unsigned char note : {first, static_cast<unsigned char>(first + 4)}) {
    performance.notes.push_back({on, 0x90, note, static_cast<unsigned char>(variant ? 90 : 100)});
  }
  for (unsigned char note : {first, static_cast<unsigned char>(first + 4)}) {
    performance.notes.push_back({off, 0x80, note, 0});
  }
  return performance;
}

AudioThreads::AudioThreads(int count) : workers_(static_cast<std::size_t>(count)) {
  done_.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
  for (Worker& worker : workers_) {
    worker.owner = this;
    worker.go.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    worker.thread.start(loop, &worker);
  }
}

AudioThreads::~AudioThreads() {
  stopping_ = true;
  for (Worker& worker : workers_) {
    SetEvent(worker.go.get());
    worker.thread.join();
  }
}

// [audio] Waits for a job, runs it, says so; until the owner stops.
void AudioThreads::loop(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  AudioThreads& owner = *worker->owner;
  for (;;) {
    WaitForSingleObject(worker->go.get(), INFINITE);
    if (owner.stopping_) return;
    owner.job_(owner.argument_);
    SetEvent(owner.done_.get());
  }
}

void AudioThreads::run(int worker, void (*job)(void*), void* argument) {
  job_ = job;
  argument_ = argument;
  SetEvent(workers_[static_cast<std::size_t>(worker % count())].go.get());
  WaitForSingleObject(done_.get(), INFINITE);
}

Player::Player(CheckContext& context, ValidatedEffect& effect, const Performance& performance,
               AudioThreads& threads)
    : context_(context),
      effect_(effect),
      performance_(performance),
      threads_(threads),
      midi_(effect.takesMidi()) {
  const std::size_t block = static_cast<std::size_t>(performance.maxBlock);
  inputBlock_.assign(static_cast<std::size_t>(std::max(0, effect.inputCount())),
                     std::vector<float>(block));
  outputBlock_.assign(static_cast<std::size_t>(std::max(0, effect.outputCount())),
                      std::vector<float>(block));
  for (auto& channel : inputBlock_) inputPointers_.push_back(channel.data());
  for (auto& channel : outputBlock_) outputPointers_.push_back(channel.data());
  // Hosts pass valid arrays even for no channels.
  inputPointers_.push_back(nullptr);
  outputPointers_.push_back(nullptr);
  recording_.assign(outputBlock_.size(), {});
  events_.resize(performance.notes.size());
  eventList_.resize(sizeof(VstEvents) + sizeof(VstEvent*) * (performance.notes.size() + 2));
}

void Player::begin() {
  for (std::size_t i = 0; i < performance_.parameters.size(); ++i) {
    effect_.setParameter(static_cast<VstInt32>(i), performance_.parameters[i]);
  }
  effect_.start(performance_.rate, performance_.maxBlock);
}

// [audio] The block's notes, then the block itself.
void Player::playJob(void* argument) {
  auto* player = static_cast<Player*>(argument);
  const Performance& performance = player->performance_;
  const long start = player->position_;
  const int frames = player->blockFrames_;
  if (player->midi_) {
    auto* list = reinterpret_cast<VstEvents*>(player->eventList_.data());
    int count = 0;
    while (player->nextNote_ < performance.notes.size() &&
           performance.notes[player->nextNote_].frame < start + frames) {
      const NoteEvent& note = performance.notes[player->nextNote_++];
      VstMidiEvent& event = player->events_[static_cast<std::size_t>(count)];
      event = VstMidiEvent{};
      event.type = kVstMidiType;
      event.byteSize = sizeof(VstMidiEvent);
      event.deltaFrames = static_cast<VstInt32>(std::max(0L, note.frame - start));
      event.midiData[0] = static_cast<char>(note.status);
      event.midiData[1] = static_cast<char>(note.data1);
      event.midiData[2] = static_cast<char>(note.data2);
      list->events[count++] = reinterpret_cast<VstEvent*>(&event);
    }
    list->numEvents = count;
    list->reserved = 0;
    if (count > 0) player->effect_.dispatch(effProcessEvents, 0, 0, list);
  }
  player->effect_.process(player->inputPointers_.data(), player->outputPointers_.data(), frames);
}

bool Player::play(int frames, int worker, const char* where) {
  frames = static_cast<int>(std::min<long>(frames, performance_.frames - position_));
  frames = std::min(frames, performance_.maxBlock);
  if (frames <= 0) return true;
  for (std::size_t c = 0; c < inputBlock_.size(); ++c) {
    const float* from =
        c < performance_.input.size() ? performance_.input[c].data() + position_ : nullptr;
    for (int i = 0; i < frames; ++i) inputBlock_[c][i] = from ? from[i] : 0.0f;
  }
  for (auto& channel : outputBlock_) std::fill(channel.begin(), channel.begin() + frames, 0.0f);
  blockFrames_ = frames;
  threads_.run(worker, playJob, this);
  for (std::size_t c = 0; c < outputBlock_.size(); ++c) {
    for (int i = 0; i < frames; ++i) {
      const float sample = outputBlock_[c][i];
      if (!std::isfinite(sample) || std::fabs(sample) > kOutputBound) {
        context_.fail(format("output channel %u is %g at frame %ld (%s)", static_cast<unsigned>(c),
                             static_cast<double>(sample), position_ + i, where));
        return false;
      }
    }
    recording_[c].insert(recording_[c].end(), outputBlock_[c].begin(),
                         outputBlock_[c].begin() + frames);
  }
  position_ += frames;
  return true;
}

bool playAll(Player& player, const std::vector<int>& blockSizes, bool rotateThreads, int threads,
             const char* where) {
  player.begin();
  for (std::size_t block = 0; !player.finished(); ++block) {
    const int frames = blockSizes[std::min(block, blockSizes.size() - 1)];
    const int worker =
        rotateThreads ? static_cast<int>(block % static_cast<std::size_t>(threads)) : 0;
    if (!player.play(frames, worker, where)) return false;
  }
  return true;
}

bool sameSound(CheckContext& context, const Recording& expected, const Recording& actual,
               bool deterministic, const std::string& what) {
  const Difference difference =
      deterministic ? firstDifference(expected, actual) : levelDifference(expected, actual);
  if (!difference.found) return true;
  context.fail(what + ": " + describe(difference));
  return false;
}

// One run of `performance` on a fresh instance; false after a failure.
bool freshRun(CheckContext& context, const Performance& performance, const std::vector<int>& blocks,
              bool rotate, const char* where, Recording& recording) {
  AudioThreads threads(rotate ? 3 : 1);
  ValidatedEffect effect(context);
  Player player(context, effect, performance, threads);
  if (!playAll(player, blocks, rotate, threads.count(), where)) return false;
  recording = player.recording();
  return true;
}

long soundFrames(int level) {
  return 32768L + 16384L * (level - 1);
}

bool referenceRuns(CheckContext& context, const Performance& performance, Recording& reference,
                   bool& deterministic, bool noteSilence) {
  Recording again;
  if (!freshRun(context, performance, {512}, false, "reference run", reference) ||
      !freshRun(context, performance, {512}, false, "reference run again", again)) {
    return false;
  }
  const Difference difference = firstDifference(reference, again);
  deterministic = !difference.found;
  if (!deterministic) {
    context.note("two fresh instances play the same differently (" + describe(difference) +
                 "): runs are compared by their level only");
  }
  if (noteSilence && silent(reference)) {
    context.note("the reference run is silent: comparing it tells little");
  }
  return true;
}

}  // namespace plughost
