// A VstEvents block of MIDI events as a host hands it to effProcessEvents:
// the events and the pointer list live here, for as long as the block.
#pragma once

#include <cstddef>
#include <vector>

#include "vst/vst_types.h"

namespace plughost {

class EventBlock {
 public:
  explicit EventBlock(int capacity)
      : events_(static_cast<std::size_t>(capacity)),
        storage_(sizeof(VstEvents) + sizeof(VstEvent*) * static_cast<std::size_t>(capacity)) {}

  int count() const { return count_; }
  void clear() { count_ = 0; }
  // One three-byte MIDI message at `delta` frames into the block; ignored
  // when the block is full.
  void add(int delta, unsigned char status, unsigned char data1, unsigned char data2) {
    if (count_ >= static_cast<int>(events_.size())) return;
    VstMidiEvent& e = events_[static_cast<std::size_t>(count_++)];
    e = VstMidiEvent{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = delta;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
  }
  // The block with the events added since the last clear; valid until the
  // next add or clear.
  VstEvents* events() {
    auto* block = reinterpret_cast<VstEvents*>(storage_.data());
    block->numEvents = count_;
    block->reserved = 0;
    for (int i = 0; i < count_; ++i) {
      block->events[i] = reinterpret_cast<VstEvent*>(&events_[static_cast<std::size_t>(i)]);
    }
    return block;
  }

 private:
  int count_ = 0;
  std::vector<VstMidiEvent> events_;
  std::vector<unsigned char> storage_;
};

}  // namespace plughost
