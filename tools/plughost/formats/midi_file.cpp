#include "formats/midi_file.h"

#include <algorithm>
#include <map>

#include "formats/byte_file.h"
#include "formats/byte_order.h"

namespace plughost {
namespace {

constexpr std::uint32_t kDefaultTempo = 500000;  // microseconds per quarter note: 120 BPM

struct TickedMidi {
  std::uint64_t tick = 0;
  std::array<std::uint8_t, 4> bytes{};
};

class TrackReader {
 public:
  TrackReader(const std::uint8_t* p, std::size_t size) : p_(p), size_(size) {}
  bool done() const { return at_ >= size_; }
  bool byte(std::uint8_t& b) {
    if (at_ >= size_) return false;
    b = p_[at_++];
    return true;
  }
  // A variable-length quantity of at most four bytes.
  bool quantity(std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!byte(b)) return false;
      value = (value << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool skip(std::uint32_t count, const std::uint8_t*& start) {
    if (count > size_ - at_) return false;
    start = p_ + at_;
    at_ += count;
    return true;
  }

 private:
  const std::uint8_t* p_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// False with `error` set; appends the track's messages and tempo changes.
bool readTrack(TrackReader track, std::vector<TickedMidi>& messages,
               std::map<std::uint64_t, std::uint32_t>& tempos, std::string& error) {
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  while (!track.done()) {
    std::uint32_t delta = 0;
    std::uint8_t status = 0;
    if (!track.quantity(delta) || !track.byte(status)) {
      error = "MIDI track is truncated";
      return false;
    }
    tick += delta;
    const std::uint8_t* data = nullptr;
    if (status == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t length = 0;
      if (!track.byte(type) || !track.quantity(length) || !track.skip(length, data)) {
        error = "MIDI track is truncated";
        return false;
      }
      if (type == 0x51 && length == 3) {
        const std::uint32_t tempo = (data[0] << 16) | (data[1] << 8) | data[2];
        // No time passes at a tempo of 0: every later event would pile up.
        if (tempo == 0) {
          error = "MIDI file sets a tempo of 0 microseconds per quarter note";
          return false;
        }
        tempos[tick] = tempo;
      }
      if (type == 0x2F) return true;  // end of track
      continue;
    }
    if (status == 0xF0 || status == 0xF7) {
      std::uint32_t length = 0;
      if (!track.quantity(length) || !track.skip(length, data)) {
        error = "MIDI track is truncated";
        return false;
      }
      continue;
    }
    TickedMidi m;
    m.tick = tick;
    std::uint8_t first = 0;
    if (status < 0x80) {  // running status: this byte is the first data byte
      if (running == 0) {
        error = "MIDI track has data without a status byte";
        return false;
      }
      first = status;
      status = running;
    } else if (status >= 0xF0) {
      error = "MIDI track has an unsupported system message";
      return false;
    } else if (!track.byte(first)) {
      error = "MIDI track is truncated";
      return false;
    }
    running = status;
    m.bytes[0] = status;
    m.bytes[1] = first;
    const std::uint8_t kind = status & 0xF0;
    if (kind != 0xC0 && kind != 0xD0 && !track.byte(m.bytes[2])) {
      error = "MIDI track is truncated";
      return false;
    }
    if ((m.bytes[1] | m.bytes[2]) & 0x80) {
      error = "MIDI track has a data byte above 127";
      return false;
    }
    messages.push_back(m);
  }
  return true;
}

}  // namespace

bool decodeMidiFile(const std::vector<std::uint8_t>& bytes, std::vector<TimedMidi>& messages,
                    std::string& error) {
  const std::uint8_t* p = bytes.data();
  if (bytes.size() < 14 || !hasTag(p, "MThd") || readBe32(p + 4) < 6) {
    error = "not a Standard MIDI File";
    return false;
  }
  const std::uint16_t format = readBe16(p + 8);
  const std::uint16_t tracks = readBe16(p + 10);
  const std::uint16_t division = readBe16(p + 12);
  if (format > 1) {
    error = "MIDI file type " + std::to_string(format) + " is not supported (use type 0 or 1)";
    return false;
  }
  if (division & 0x8000 || division == 0) {
    error = "MIDI file time division must be ticks per quarter note";
    return false;
  }
  std::vector<TickedMidi> ticked;
  std::map<std::uint64_t, std::uint32_t> tempos;
  std::size_t offset = 8 + readBe32(p + 4);
  int found = 0;
  while (found < tracks) {
    if (offset > bytes.size() || bytes.size() - offset < 8) {
      error = "MIDI file is truncated";
      return false;
    }
    const std::uint32_t size = readBe32(p + offset + 4);
    if (size > bytes.size() - offset - 8) {
      error = "MIDI file is truncated";
      return false;
    }
    if (hasTag(p + offset, "MTrk")) {
      if (!readTrack(TrackReader(p + offset + 8, size), ticked, tempos, error)) return false;
      ++found;
    }
    offset += 8 + size;
  }
  std::stable_sort(ticked.begin(), ticked.end(),
                   [](const TickedMidi& a, const TickedMidi& b) { return a.tick < b.tick; });
  // Seconds through the tempo map: each tempo holds from its tick onward.
  std::vector<TimedMidi> result;
  std::uint64_t tempoTick = 0;
  double tempoSeconds = 0.0;
  std::uint32_t tempo = kDefaultTempo;
  auto nextTempo = tempos.begin();
  for (const TickedMidi& m : ticked) {
    while (nextTempo != tempos.end() && nextTempo->first <= m.tick) {
      tempoSeconds += (nextTempo->first - tempoTick) * 1e-6 * tempo / division;
      tempoTick = nextTempo->first;
      tempo = nextTempo->second;
      ++nextTempo;
    }
    result.push_back({tempoSeconds + (m.tick - tempoTick) * 1e-6 * tempo / division, m.bytes});
  }
  messages = std::move(result);
  return true;
}

bool readMidiFile(const std::string& path, std::vector<TimedMidi>& messages, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!readFileBytes(path, bytes, error)) return false;
  if (decodeMidiFile(bytes, messages, error)) return true;
  error = "'" + path + "': " + error;
  return false;
}

}  // namespace plughost
