// fuzz: random dispatcher calls with valid buffers or null, huge and
// negative indexes and values, NaN and infinite floats; afterwards the
// effect must still play at a sane rate.
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "validate/audio_probe.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr std::size_t kBufferSize = 4096;

// Opcodes a host never sends like this: the lifecycle, the editor (its own
// check opens it into a real window), variable I/O and offline processing,
// whose records carry counts and pointers a zero buffer cannot satisfy.
bool excluded(VstInt32 opcode) {
  return opcode == effOpen || opcode == effClose ||
         (opcode >= effEditOpen && opcode <= effEditSleep) ||
         (opcode >= effOfflineNotify && opcode <= effProcessVarIo) || opcode == effEditKeyDown ||
         opcode == effEditKeyUp;
}

template <typename T, std::size_t N>
T pick(std::mt19937& random, const T (&choices)[N]) {
  return choices[random() % N];
}

}  // namespace

void checkFuzz(CheckContext& context) {
  ValidatedEffect effect(context);
  std::mt19937& random = context.random();
  std::vector<VstInt32> opcodes;
  for (VstInt32 op = 0; op <= effBeginLoadProgram; ++op) {
    if (!excluded(op)) opcodes.push_back(op);
  }
  const VstInt32 parameters = effect.parameterCount();
  const VstInt32 indexes[] = {
      0, 1, -1, 2, parameters - 1, parameters, parameters + 1, INT_MAX, INT_MIN, 1 << 20, -1000};
  const VstIntPtr values[] = {0, 1, -1, 2, 512, 44100, INT_MAX, INT_MIN, 1 << 24, -65536};
  const float floats[] = {0.0f,   1.0f, 0.5f,     -1.0f,     44100.0f, 1e30f,
                          -1e30f, NAN,  INFINITY, -INFINITY, 1e-40f};
  std::vector<unsigned char> buffer(kBufferSize);
  const long calls = fuzzCalls(context.level()) / fuzzChildren(context.level());
  for (long n = 0; n < calls; ++n) {
    const VstInt32 opcode = opcodes[random() % opcodes.size()];
    std::memset(buffer.data(), 0, buffer.size());
    void* ptr = random() % 4 == 0 ? nullptr : buffer.data();
    VstIntPtr value = pick(random, values);
    VstInt32 index = pick(random, indexes);
    if (random() % 2 == 0) index = static_cast<VstInt32>(random() % (parameters + 2));
    // Where value is a size or a pointer, keep it true to the buffer.
    if (opcode == effSetChunk) value = ptr ? static_cast<VstIntPtr>(random() % kBufferSize) : 0;
    if (opcode == effSetSpeakerArrangement || opcode == effGetSpeakerArrangement) {
      value = ptr ? reinterpret_cast<VstIntPtr>(buffer.data() + kBufferSize / 2) : 0;
    }
    effect.dispatch(opcode, index, value, ptr, pick(random, floats));
  }
  context.figure("calls", static_cast<double>(calls));

  GuardedAudio audio(effect.inputCount(), effect.outputCount(), 512);
  effect.start(44100.0f, 512);
  for (int block = 0; block < 8; ++block) {
    if (!processChecked(context, effect, audio, Signal::Noise, 512, false, block * 512L,
                        "noise at 44100 Hz after the fuzz calls")) {
      break;
    }
  }
  effect.stop();
}

}  // namespace plughost
