// Standard MIDI Files: messages of every track at their times through the
// tempo map, running status, skipped meta and system-exclusive events, and
// refusal of every truncation and of unsupported kinds.
#include "formats/midi_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes chunk(const char* id, const Bytes& body) {
  Bytes out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(id[i]));
  const auto n = static_cast<std::uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
  for (std::uint8_t b : body) out.push_back(b);
  return out;
}

// Type 1, 96 ticks per quarter: track 0 holds the tempo map (120 BPM, then
// 240 BPM from tick 96), track 1 the notes.
Bytes typeOne(std::uint8_t type = 1, std::uint16_t division = 96) {
  Bytes file = chunk("MThd", {0, type, 0, 2, static_cast<std::uint8_t>(division >> 8),
                              static_cast<std::uint8_t>(division)});
  const Bytes tempo = chunk("MTrk", {0x00, 0xFF, 0x51, 3, 0x07, 0xA1, 0x20,  // 500000 us
                                     0x60, 0xFF, 0x51, 3, 0x03, 0xD0, 0x90,  // 250000 us at 96
                                     0x00, 0xFF, 0x2F, 0});
  const Bytes notes = chunk("MTrk", {0x00, 0x90, 60,   100,         // note on at 0
                                     0x00, 0xF0, 2,    0x7E, 0xF7,  // system exclusive
                                     0x60, 62,   90,                // running status, tick 96
                                     0x81, 0x40, 0x80, 60,   0,     // note off at tick 288
                                     0x00, 0xC1, 5,                 // program change
                                     0x00, 0xFF, 0x2F, 0});
  file.insert(file.end(), tempo.begin(), tempo.end());
  file.insert(file.end(), notes.begin(), notes.end());
  return file;
}

TEST(MidiFile, MessagesFollowTheTempoMapAcrossTracks) {
  std::vector<plughost::TimedMidi> m;
  std::string error;
  ASSERT_TRUE(plughost::decodeMidiFile(typeOne(), m, error)) << error;
  ASSERT_EQ(4u, m.size());
  EXPECT_DOUBLE_EQ(0.0, m[0].seconds);
  EXPECT_EQ((std::array<std::uint8_t, 4>{0x90, 60, 100, 0}), m[0].bytes);
  EXPECT_DOUBLE_EQ(0.5, m[1].seconds);  // one quarter at 120 BPM
  EXPECT_EQ((std::array<std::uint8_t, 4>{0x90, 62, 90, 0}), m[1].bytes);
  EXPECT_DOUBLE_EQ(1.0, m[2].seconds);  // then two quarters at 240 BPM
  EXPECT_EQ((std::array<std::uint8_t, 4>{0x80, 60, 0, 0}), m[2].bytes);
  EXPECT_EQ((std::array<std::uint8_t, 4>{0xC1, 5, 0, 0}), m[3].bytes);
}

TEST(MidiFile, EveryTruncationAndUnsupportedKindIsRefused) {
  const Bytes good = typeOne();
  for (std::size_t size = 0; size < good.size(); ++size) {
    std::vector<plughost::TimedMidi> m(1);
    std::string error;
    EXPECT_FALSE(plughost::decodeMidiFile(Bytes(good.begin(), good.begin() + size), m, error))
        << size;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(1u, m.size());
  }
  const struct {
    Bytes bytes;
    const char* message;
  } bad[] = {
      {Bytes(20, 0), "not a Standard MIDI File"},
      {typeOne(2), "MIDI file type 2 is not supported (use type 0 or 1)"},
      {typeOne(1, 0xE728), "MIDI file time division must be ticks per quarter note"},
  };
  for (const auto& c : bad) {
    std::vector<plughost::TimedMidi> m;
    std::string error;
    EXPECT_FALSE(plughost::decodeMidiFile(c.bytes, m, error));
    EXPECT_EQ(c.message, error);
  }
}

}  // namespace
