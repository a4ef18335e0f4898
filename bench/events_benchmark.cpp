// Cost of handing the engine one full block of MIDI events: the plug-in
// gathers each event's delta and four data bytes into its own 8-byte records
// and passes them on. The reference is the gather loop any conversion needs:
// one visit of every host event; a plain copy of the records is shown for
// scale.
#include <cstddef>
#include <cstring>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "vst/vst_opcodes.h"

namespace bench {

namespace {
constexpr int kEvents = kel::kMaxEventsPerCall;
constexpr double kTargetRatio = 1.2;
}  // namespace

void benchmarkEvents(AEffect& effect, const Timing& timing) {
  heading("3. effProcessEvents (opcode 25) with 32768 MIDI events");

  // The host's events, contiguous as a host's event pool would hold them,
  // and its VstEvents block: a count, a reserved word, the pointers.
  std::vector<VstMidiEvent> midi(kEvents);
  for (int i = 0; i < kEvents; ++i) {
    VstMidiEvent& event = midi[i];
    std::memset(&event, 0, sizeof event);
    event.type = kVstMidiType;
    event.byteSize = sizeof event;
    event.deltaFrames = i % 512;
    event.midiData[0] = static_cast<char>(i % 2 == 0 ? 0x90 : 0x80);
    event.midiData[1] = static_cast<char>(36 + i % 48);
    event.midiData[2] = static_cast<char>(100);
  }
  std::vector<unsigned char> blockBytes(offsetof(VstEvents, events) + kEvents * sizeof(VstEvent*));
  auto* block = reinterpret_cast<VstEvents*>(blockBytes.data());
  block->numEvents = kEvents;
  block->reserved = 0;
  auto** pointers = reinterpret_cast<VstEvent**>(blockBytes.data() + offsetof(VstEvents, events));
  for (int i = 0; i < kEvents; ++i) pointers[i] = reinterpret_cast<VstEvent*>(&midi[i]);

  // The same bytes as the plug-in's records, and a destination for copies.
  std::vector<kel::SEvent> records(kEvents);
  for (int i = 0; i < kEvents; ++i) {
    records[i].deltaFrames = midi[i].deltaFrames;
    std::memcpy(records[i].midiData, midi[i].midiData, 4);
  }
  std::vector<kel::SEvent> copies(kEvents);

  auto throughPlugin = [&effect, block] {
    effect.dispatcher(&effect, effProcessEvents, 0, 0, block, 0.0f);
  };
  auto plainCopy = [&records, &copies] {
    std::memcpy(copies.data(), records.data(), kEvents * sizeof(kel::SEvent));
    keep(copies.data());
  };
  // What any conversion must do at least: visit every event once.
  auto gather = [pointers, &copies] {
    for (int i = 0; i < kEvents; ++i) {
      const auto* event = reinterpret_cast<const VstMidiEvent*>(pointers[i]);
      copies[i].deltaFrames = event->deltaFrames;
      std::memcpy(copies[i].midiData, event->midiData, 4);
    }
    keep(copies.data());
  };

  const Pair result = medianNanosecondsOfPair(throughPlugin, gather, timing);
  const double copyNs = medianNanoseconds(plainCopy, timing);
  const double pluginUs = result.first / 1000.0;
  const double gatherUs = result.second / 1000.0;
  figure("plain copy of 32768 8-byte records (256 KiB), for scale", copyNs / 1000.0, "us");
  figure("gather loop over the host's events", gatherUs, "us");
  figure("effProcessEvents through the plug-in", pluginUs, "us");
  const double ratio = pluginUs / gatherUs;
  target("effProcessEvents / gather loop", ratio, "x", "<= 1.2x", ratio <= kTargetRatio);
}

}  // namespace bench
