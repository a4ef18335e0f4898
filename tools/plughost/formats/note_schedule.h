// MIDI notes given on the command line ("60@0.5-1.25": note 60 from 0.5 s to
// 1.25 s, optionally "60:100@..." with a velocity) turned into note-on and
// note-off messages at sample frames, handed out block by block.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/midi_file.h"

namespace plughost {

struct NoteSpec {
  int note = 60;
  int velocity = 100;
  double start = 0.0;  // seconds
  double end = 0.0;    // seconds, after start
};

struct ScheduledMidi {
  std::int64_t frame = 0;  // from the start of the render
  std::array<std::uint8_t, 4> bytes{};
  int rank = 0;  // order among messages of one frame, lowest first
};

// False with a one-line reason in `error` for a malformed note text.
bool parseNoteSpec(const std::string& text, NoteSpec& spec, std::string& error);

class NoteSchedule {
 public:
  // Messages at each note's start and end frame on MIDI channel 1, and the
  // `timed` messages (from a MIDI file) at their frames, in frame order; at
  // equal frames note-offs come first so a repeated note restarts.
  NoteSchedule(const std::vector<NoteSpec>& notes, double sampleRate,
               const std::vector<TimedMidi>& timed = {});

  // The messages with frame in [blockStart, blockStart + frames), each with its
  // offset into the block.
  std::vector<std::pair<std::int32_t, ScheduledMidi>> block(std::int64_t blockStart,
                                                            std::int32_t frames) const;
  const std::vector<ScheduledMidi>& messages() const { return messages_; }

 private:
  std::vector<ScheduledMidi> messages_;
};

}  // namespace plughost
