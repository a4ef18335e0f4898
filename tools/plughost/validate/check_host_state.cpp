// hoststate: what the host owns is as the host left it after every call into
// the plug-in. The input buffers, when separate from the outputs, hold what
// the host put there, and the channel pointer arrays the pointers it put
// there; the calling thread's floating-point control state (MXCSR, and on
// 32-bit the x87 control word) is what it was just before the call. Played
// on the thread that opened the effect and on an audio thread of its own,
// each compared with itself (threads start with different states).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "validate/check_list.h"
#include "validate/event_block.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

const int kBlockSizes[] = {64, 1, 333, 1024, 17};
constexpr int kMaxBlock = 1024;
constexpr int kBlocksPerLevel = 8;

// Channels of the host's, separate inputs and outputs, with a copy of what
// the inputs and both pointer arrays held before each call.
struct HostAudio {
  HostAudio(int inputs, int outputs)
      : in(static_cast<std::size_t>(inputs), std::vector<float>(kMaxBlock)),
        inCopy(in),
        out(static_cast<std::size_t>(outputs), std::vector<float>(kMaxBlock)) {
    for (auto& channel : in) inPointers.push_back(channel.data());
    for (auto& channel : out) outPointers.push_back(channel.data());
    // Never null arrays, even without channels.
    inPointers.push_back(nullptr);
    outPointers.push_back(nullptr);
    inPointersCopy = inPointers;
    outPointersCopy = outPointers;
  }

  // Integer noise: the same samples on every thread, no library call.
  void fill(std::uint32_t& state, int frames) {
    for (std::size_t c = 0; c < in.size(); ++c) {
      for (int i = 0; i < frames; ++i) {
        state = state * 1664525u + 1013904223u;
        in[c][i] = static_cast<float>(static_cast<std::int32_t>(state)) * (0.5f / 2147483648.0f);
        inCopy[c][i] = in[c][i];
      }
    }
    for (auto& channel : out) std::fill(channel.begin(), channel.begin() + frames, 0.0f);
  }

  // "" when the inputs and the pointer arrays are as before the call.
  std::string change(int frames) const {
    for (std::size_t c = 0; c < in.size(); ++c) {
      for (int i = 0; i < frames; ++i) {
        // Bits, not values: a NaN written over a NaN is still a write.
        if (std::memcmp(&in[c][i], &inCopy[c][i], sizeof(float)) != 0) {
          return format("wrote into input channel %d at frame %d", static_cast<int>(c), i);
        }
      }
    }
    if (inPointers != inPointersCopy) return "changed the host's array of input channel pointers";
    if (outPointers != outPointersCopy)
      return "changed the host's array of output channel pointers";
    return "";
  }

  std::vector<std::vector<float>> in, inCopy, out;
  std::vector<float*> inPointers, outPointers, inPointersCopy, outPointersCopy;
};

struct Play {
  CheckContext* context;
  ValidatedEffect* effect;
  bool midi;
  const char* thread;
  long calls = 0;
};

// [the thread under test] Blocks of every size through the effect: the
// effect watches the floating-point state around each call, the inputs
// are compared here. Stops at the first change of the inputs.
void play(void* argument) {
  auto* run = static_cast<Play*>(argument);
  ValidatedEffect& effect = *run->effect;
  HostAudio audio(effect.inputCount(), effect.outputCount());
  std::uint32_t noise = 1;
  const int blocks = kBlocksPerLevel * run->context->level();
  for (int size : kBlockSizes) {
    for (int block = 0; block < blocks; ++block) {
      if (run->midi) {
        // One note on and off per block: the calls after effProcessEvents
        // are watched as well.
        EventBlock notes(2);
        const auto note = static_cast<unsigned char>(48 + block % 24);
        notes.add(0, 0x90, note, 100);
        notes.add(0, 0x80, note, 0);
        effect.dispatch(effProcessEvents, 0, 0, notes.events());
        ++run->calls;
      }
      audio.fill(noise, size);
      effect.process(audio.inPointers.data(), audio.outPointers.data(), size);
      ++run->calls;
      const std::string change = audio.change(size);
      if (!change.empty()) {
        run->context->fail(format("%s(%d frames) %s (separate input and output buffers, %s)",
                                  effect.replaces() ? "processReplacing" : "process", size,
                                  change.c_str(), run->thread));
        return;
      }
    }
  }
}

}  // namespace

void checkHostState(CheckContext& context) {
  ValidatedEffect effect(context);
  if (!effect.processor()) {
    context.skip("the effect has no process function");
    return;
  }
  const bool midi = effect.takesMidi();
  effect.start(44100.0f, kMaxBlock);
  Play opening{&context, &effect, midi, "the thread that opened the effect"};
  play(&opening);
  // The context is the audio thread's alone until it ends.
  Play audio{&context, &effect, midi, "an audio thread"};
  platform::Thread thread;
  if (thread.start(play, &audio)) {
    thread.join();
  } else {
    context.fail("cannot start an audio thread");
  }
  effect.stop();
  effect.reportFloatingPoint();
  context.figure("host_state_calls", static_cast<double>(opening.calls + audio.calls));
}

}  // namespace plughost
