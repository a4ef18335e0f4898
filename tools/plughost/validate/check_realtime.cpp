// realtime: on an audio thread of its own, processes blocks of several
// sizes with notes for effects that take MIDI, and counts the heap
// allocations, waits, locks and I/O the plug-in makes inside process,
// processReplacing and effProcessEvents (validate/realtime_audit.h). A
// finding is a warning at level 1 and a failure from level 2.
#include <cstddef>

#include "platform/platform.h"
#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/realtime_audit.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kMaxBlock = 4096;
const int kBlockSizes[] = {32, 64, 512, 4096, 1, 333};
constexpr int kFailingLevel = 2;

// Four events each block: a note on and off, a controller, pitch bend.
// The record is a VstEvents with room for four pointers.
struct NoteBlock {
  VstInt32 numEvents = 4;
  VstIntPtr reserved = 0;
  VstEvent* pointers[4] = {};
  VstMidiEvent midi[4] = {};

  explicit NoteBlock(int note) {
    const unsigned char bytes[4][3] = {{0x90, static_cast<unsigned char>(note), 100},
                                       {0xB0, 1, 64},
                                       {0xE0, 0, 70},
                                       {0x80, static_cast<unsigned char>(note), 0}};
    for (int i = 0; i < 4; ++i) {
      midi[i].type = kVstMidiType;
      midi[i].byteSize = sizeof(VstMidiEvent);
      midi[i].deltaFrames = i;
      for (int b = 0; b < 3; ++b) midi[i].midiData[b] = static_cast<char>(bytes[i][b]);
      pointers[i] = reinterpret_cast<VstEvent*>(&midi[i]);
    }
  }
  VstEvents* events() { return reinterpret_cast<VstEvents*>(this); }
};
static_assert(offsetof(NoteBlock, pointers) == offsetof(VstEvents, events), "NoteBlock layout");

struct AudioRun {
  CheckContext* context;
  ValidatedEffect* effect;
  GuardedAudio* audio;
  bool midi;
  long calls = 0;
};

// [audio] The audited blocks; parameters change between them, as a host's
// automation does, outside the audit.
void runAudited(void* argument) {
  auto* run = static_cast<AudioRun*>(argument);
  CheckContext& context = *run->context;
  ValidatedEffect& effect = *run->effect;
  const int parameters = effect.parameterCount();
  const int blocks = 50 * context.level();
  for (int size : kBlockSizes) {
    for (int block = 0; block < blocks; ++block) {
      if (parameters > 0 && block % 8 == 0) {
        effect.setParameter(block / 8 % parameters, context.uniform(0.0f, 1.0f));
      }
      effect.auditProcessing(true);
      if (run->midi) {
        NoteBlock notes(36 + block % 60);
        effect.dispatch(effProcessEvents, 0, 0, notes.events());
        ++run->calls;
      }
      const bool played =
          processChecked(context, effect, *run->audio, Signal::Noise, size, false,
                         static_cast<long>(block) * size, format("%d-frame blocks", size));
      effect.auditProcessing(false);
      ++run->calls;
      if (!played) return;
    }
  }
}

}  // namespace

void checkRealtime(CheckContext& context) {
  ValidatedEffect effect(context);
  const bool midi = effect.takesMidi();
  GuardedAudio audio(effect.inputCount(), effect.outputCount(), kMaxBlock);
  effect.start(44100.0f, kMaxBlock);
  context.calling("(pointing the loaded modules' imports at the audit)");
  const int entries = installRealtimeAudit();
  AudioRun run{&context, &effect, &audio, midi};
  platform::Thread thread;
  if (!thread.start(runAudited, &run)) {
    context.fail("cannot start an audio thread");
    return;
  }
  thread.join();
  effect.stop();
  const AuditCounts counts = auditCounts();
  context.figure("audited_calls", static_cast<double>(run.calls));
  context.figure("audited_imports", entries);
  context.figure("rt_allocations", static_cast<double>(counts.allocations));
  context.figure("rt_locks", static_cast<double>(counts.locks));
  context.figure("rt_io", static_cast<double>(counts.io));
  const AuditFinding first = firstAuditFinding();
  if (!first.found) return;
  const std::string text = format(
      "on the audio thread, in %ld processing calls: %ld heap allocations or frees, %ld waits or "
      "locks, %ld file or console I/O calls; the first: %s (a %s) called by %s",
      run.calls, counts.allocations, counts.locks, counts.io, first.function,
      auditKindName(first.kind), first.module.c_str());
  if (context.level() >= kFailingLevel) {
    context.fail(text);
  } else {
    context.warn(text);
  }
}

}  // namespace plughost
