// Audio, MIDI, processing state and idle time, forwarded to the engine, and
// the engine's calls back through kel::IHost.
#include <cstring>

#include "bridge/again.h"
#include "bridge/converter_choice.h"

namespace {

// [audio] The host's arrays go to the engine untouched, outputs first.
void forwardAudio(kel::IProcessor& engine, float** inputs, float** outputs, VstInt32 sampleFrames) {
  std::int32_t zeroWord = 0;
  engine.process(outputs, inputs, sampleFrames, &zeroWord);
}

}  // namespace

void AGain::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
  // Accumulating mode: without an engine there is nothing to add.
  kel::IProcessor* engine = liveProcessor();
  if (engine != nullptr) forwardAudio(*engine, inputs, outputs, sampleFrames);
}

void AGain::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  kel::IProcessor* engine = liveProcessor();
  if (engine != nullptr) {
    forwardAudio(*engine, inputs, outputs, sampleFrames);
    return;
  }
  // Replacing mode must leave defined samples even without an engine: silence.
  if (outputs == nullptr) return;
  for (VstInt32 channel = 0; channel < cEffect.numOutputs; ++channel) {
    float* samples = outputs[channel];
    if (samples == nullptr) continue;
    for (VstInt32 frame = 0; frame < sampleFrames; ++frame) samples[frame] = 0.0f;
  }
}

// [audio] At most 32768 events per call go into the fixed buffer; a
// missing block or a negative count reaches the engine as no events, and a
// missing event pointer is skipped.
VstInt32 AGain::processEvents(VstEvents* events) {
  kel::IProcessor* engine = liveProcessor();
  if (engine == nullptr) return 0;
  std::int32_t available = events != nullptr ? events->numEvents : 0;
  if (available < 0) available = 0;
  if (available > kel::kMaxEventsPerCall) available = kel::kMaxEventsPerCall;
  std::int32_t count = 0;
  for (std::int32_t i = 0; i < available; ++i) {
    const VstEvent* event = events->events[i];
    if (event == nullptr) continue;
    kel::SEvent& record = eventBuffer[count++];
    record.deltaFrames = event->deltaFrames;
    std::memcpy(record.midiData, reinterpret_cast<const VstMidiEvent*>(event)->midiData,
                sizeof record.midiData);
  }
  engine->processEvents(eventBuffer, count);
  return 1;
}

void AGain::setSampleRate(float rate) {
  // The engine is promised a usable rate: 0, negative and NaN are ignored.
  if (!(rate > 0.0f)) return;
  sampleRate = rate;
  kel::IProcessor* engine = liveProcessor();
  if (engine != nullptr) engine->setSampleRate(rate);
}

void AGain::setBlockSize(VstInt32 size) {
  if (size < 0) return;
  blockSize = size;
  kel::IProcessor* engine = liveProcessor();
  if (engine != nullptr) engine->setBlockSize(size);
}

void AGain::resume() {
  if (takesMidi) wantEvents(1);
  needIdle();
}

VstInt32 AGain::fxIdle() {
  kel::IProcessor* engine = liveProcessor();
  if (engine == nullptr) return 0;
  engine->idle();
  return 1;
}

std::int32_t AGain::getVersion() {
  return kel::kHostVersion;
}

std::int32_t AGain::getHostFlag() {
  return kel::kHostFlag;
}

// [any thread] The host's tempo, or 0 when it gives no time information.
double AGain::getTempo() {
  const VstTimeInfo* time = getTimeInfo(kVstTempoValid);
  return time != nullptr ? time->tempo : 0.0;
}

// [any thread] A change made inside the engine goes back to the engine once,
// through the converter, and then to the host as automation. The processor is
// read once here and once more in setParameter: each read sees the live
// processor or, once effClose is releasing it, null.
void AGain::parameterChanged(std::int32_t engineIndex) {
  if (!ready.load(std::memory_order_acquire)) return;
  kel::IProcessor* engine = liveProcessor();
  if (engine == nullptr) return;
  const std::int32_t value = engine->getParameter(engineIndex);
  kel::SParameterInfo info;
  bridge::describeParameter(*engine, engineIndex, info);
  float normalized = 0.0f;
  if (!toNormalized(info, value, &normalized)) return;
  std::int32_t hostIndex = 0;
  if (!parameterMap.hostIndexOf(engineIndex, &hostIndex)) return;
  setParameterAutomated(hostIndex, normalized);
}
