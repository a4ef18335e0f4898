// Standard MIDI Files of type 0 and 1: the channel messages of every track
// with their times in seconds, through the file's tempo map.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

struct TimedMidi {
  double seconds = 0.0;
  std::array<std::uint8_t, 4> bytes{};  // status and up to two data bytes
};

// Messages in time order (equal times keep track and file order); meta events
// other than tempo and system-exclusive messages are skipped. False with a
// one-line reason in `error` for anything truncated, malformed or unsupported
// (type 2, SMPTE time division); `messages` is then unchanged.
bool decodeMidiFile(const std::vector<std::uint8_t>& bytes, std::vector<TimedMidi>& messages,
                    std::string& error);
bool readMidiFile(const std::string& path, std::vector<TimedMidi>& messages, std::string& error);

}  // namespace plughost
