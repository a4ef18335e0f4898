#include "formats/note_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plughost {
namespace {

constexpr double kMaxNoteTime = 86400.0;

// Order within one frame: a --note that ends where the next begins ends
// first; the file's messages keep the file's order (a note-on and its
// note-off on one tick stay in that order).
constexpr int kNoteOffRank = 0;
constexpr int kFileRank = 1;
constexpr int kNoteOnRank = 2;

}  // namespace

bool parseNoteSpec(const std::string& text, NoteSpec& spec, std::string& error) {
  NoteSpec parsed;
  char tail = 0;
  const char* s = text.c_str();
  // sscanf's %lf would also read "0x1" as one second; notes are decimal.
  if (text.find_first_of("xX") != std::string::npos) {
    error = "bad note '" + text + "': write times in decimal seconds, e.g. 60@0.0-1.0";
    return false;
  }
  const bool withVelocity = sscanf(s, "%d:%d@%lf-%lf%c", &parsed.note, &parsed.velocity,
                                   &parsed.start, &parsed.end, &tail) == 4;
  if (!withVelocity) {
    parsed.velocity = 100;
    if (sscanf(s, "%d@%lf-%lf%c", &parsed.note, &parsed.start, &parsed.end, &tail) != 3) {
      error = "bad note '" + text + "': expected NOTE@START-END, e.g. 60@0.0-1.0";
      return false;
    }
  }
  if (parsed.note < 0 || parsed.note > 127 || parsed.velocity < 1 || parsed.velocity > 127) {
    error = "bad note '" + text + "': note must be 0..127 and velocity 1..127";
    return false;
  }
  // Times become frame numbers: they must be finite, and a day is plenty.
  if (!(parsed.start >= 0.0) || !(parsed.end > parsed.start) || !(parsed.end <= kMaxNoteTime)) {
    error = "bad note '" + text + "': times must satisfy 0 <= START < END <= 86400 seconds";
    return false;
  }
  spec = parsed;
  return true;
}

NoteSchedule::NoteSchedule(const std::vector<NoteSpec>& notes, double sampleRate,
                           const std::vector<TimedMidi>& timed) {
  for (const TimedMidi& m : timed) {
    ScheduledMidi message;
    message.frame = std::llround(m.seconds * sampleRate);
    message.bytes = m.bytes;
    message.rank = kFileRank;
    messages_.push_back(message);
  }
  for (const NoteSpec& n : notes) {
    const auto note = static_cast<std::uint8_t>(n.note);
    ScheduledMidi on;
    on.frame = std::llround(n.start * sampleRate);
    on.bytes = {0x90, note, static_cast<std::uint8_t>(n.velocity), 0};
    on.rank = kNoteOnRank;
    ScheduledMidi off;
    off.frame = std::max(on.frame + 1, static_cast<std::int64_t>(std::llround(n.end * sampleRate)));
    off.bytes = {0x80, note, 0, 0};
    off.rank = kNoteOffRank;
    messages_.push_back(on);
    messages_.push_back(off);
  }
  std::stable_sort(messages_.begin(), messages_.end(),
                   [](const ScheduledMidi& a, const ScheduledMidi& b) {
                     if (a.frame != b.frame) return a.frame < b.frame;
                     return a.rank < b.rank;
                   });
}

std::vector<std::pair<std::int32_t, ScheduledMidi>> NoteSchedule::block(std::int64_t blockStart,
                                                                        std::int32_t frames) const {
  std::vector<std::pair<std::int32_t, ScheduledMidi>> result;
  auto it =
      std::lower_bound(messages_.begin(), messages_.end(), blockStart,
                       [](const ScheduledMidi& m, std::int64_t frame) { return m.frame < frame; });
  for (; it != messages_.end() && it->frame < blockStart + frames; ++it) {
    result.emplace_back(static_cast<std::int32_t>(it->frame - blockStart), *it);
  }
  return result;
}

}  // namespace plughost
