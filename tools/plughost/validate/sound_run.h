// Plays one performance (input, notes, settings) through an effect the way a
// host does, block by block on audio threads of the check's own, and keeps
// everything it played, so that two runs can be compared sample for sample.
// The input is integer noise made once, never computed per thread: a
// healthy effect then plays the same bits on any thread.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "validate/check_context.h"
#include "validate/sound_compare.h"
#include "validate/validated_effect.h"

namespace plughost {

struct NoteEvent {
  long frame;
  unsigned char status;
  unsigned char data1;
  unsigned char data2;
};

struct Performance {
  float rate = 44100.0f;
  int maxBlock = 8192;  // announced with effSetBlockSize
  long frames = 0;
  std::vector<std::vector<float>> input;  // one per input channel, `frames` long
  std::vector<NoteEvent> notes;           // in frame order; sent to effects taking MIDI
  std::vector<float> parameters;          // set before starting; empty keeps the defaults
};

// `variant` picks the noise and the notes (0 and 1 differ everywhere); the
// parameters stay empty.
Performance makePerformance(int inputs, long frames, unsigned variant);

// Threads that stand by to run one job at a time for the thread that owns
// them. Every thread a check starts has the same floating-point state, so
// the reference and the run it is compared with both play on one of these.
class AudioThreads {
 public:
  explicit AudioThreads(int count);
  ~AudioThreads();
  AudioThreads(const AudioThreads&) = delete;
  AudioThreads& operator=(const AudioThreads&) = delete;

  int count() const { return static_cast<int>(workers_.size()); }
  // Runs job(argument) on thread `worker` and waits for it to end.
  void run(int worker, void (*job)(void*), void* argument);

 private:
  struct Worker {
    platform::Handle go;  // an event: a job waits
    AudioThreads* owner = nullptr;
    platform::Thread thread;  // last: joined before its event goes
  };
  static void loop(void* argument);

  std::vector<Worker> workers_;
  platform::Handle done_;  // an event: the job ended
  void (*job_)(void*) = nullptr;
  void* argument_ = nullptr;
  bool stopping_ = false;
};

class Player {
 public:
  Player(CheckContext& context, ValidatedEffect& effect, const Performance& performance,
         AudioThreads& threads);

  // [main] Sets the performance's parameters, then starts the effect at its
  // rate and block size.
  void begin();
  // Plays the next `frames` frames (no more than remain) on thread `worker`:
  // the block's notes, then the block. False, after a failure naming
  // `where`, when the output is not finite or beyond kOutputBound.
  bool play(int frames, int worker, const char* where);
  bool finished() const { return position_ >= performance_.frames; }
  long position() const { return position_; }
  const Recording& recording() const { return recording_; }

 private:
  static void playJob(void* player);

  CheckContext& context_;
  ValidatedEffect& effect_;
  const Performance& performance_;
  AudioThreads& threads_;
  bool midi_;
  long position_ = 0;
  int blockFrames_ = 0;
  std::size_t nextNote_ = 0;
  std::vector<std::vector<float>> inputBlock_;
  std::vector<std::vector<float>> outputBlock_;
  std::vector<float*> inputPointers_;
  std::vector<float*> outputPointers_;
  std::vector<VstMidiEvent> events_;
  std::vector<unsigned char> eventList_;
  Recording recording_;
};

// A whole run on one instance: begin, blocks of `blockSizes` in turn (the
// last one repeated), each on worker `turn(block)`; false after a failure.
bool playAll(Player& player, const std::vector<int>& blockSizes, bool rotateThreads, int threads,
             const char* where);

// Compares `actual` with `expected`: sample for sample when the effect plays
// the same twice (`deterministic`), by level otherwise. Fails naming `what`
// and returns false when they differ.
bool sameSound(CheckContext& context, const Recording& expected, const Recording& actual,
               bool deterministic, const std::string& what);

// Frames of a performance at `level`.
long soundFrames(int level);

// One run of `performance` on a fresh instance in `blocks` (see playAll),
// on audio threads started for it (three taking turns with `rotate`, else
// one); false after a failure.
bool freshRun(CheckContext& context, const Performance& performance, const std::vector<int>& blocks,
              bool rotate, const char* where, Recording& recording);

// The reference: `performance` in steady 512-frame blocks from one thread,
// on two fresh instances in turn. `deterministic` tells whether both played
// the same; a note says so when not, and (with `noteSilence`) when the
// reference is silent.
bool referenceRuns(CheckContext& context, const Performance& performance, Recording& reference,
                   bool& deterministic, bool noteSilence = true);

}  // namespace plughost
