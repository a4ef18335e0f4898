#include "demo_processor.h"

#include <algorithm>

#include "state_chunk.h"

namespace demo {

DemoProcessor::DemoProcessor(std::uint16_t kind, const char* title,
                             const ParameterDefinition* definitions, std::int32_t parameterCount)
    : parameters_(definitions, parameterCount), kind_(kind), title_(title) {}

void DemoProcessor::setInputCount(std::int32_t channels) {
  inputCount_ = std::clamp<std::int32_t>(channels, 0, kMaxChannels);
}

void DemoProcessor::setOutputCount(std::int32_t channels) {
  outputCount_ = std::clamp<std::int32_t>(channels, 0, kMaxChannels);
}

void DemoProcessor::setSampleRate(float hz) {
  // A rate no audio interface runs at (or NaN) keeps the last sane one.
  if (!(hz >= kLowestSampleRate && hz <= kHighestSampleRate)) return;
  sampleRate_ = hz;
  restart();
}

void DemoProcessor::restart() {
  reset();
  settled_ = false;
}

void DemoProcessor::process(float** outputs, float** inputs, std::int32_t frames,
                            std::int32_t* zeroWord) {
  (void)zeroWord;
  if (!outputs || frames <= 0) return;
  if (!settled_) {
    settle();
    settled_ = true;
  }
  render(outputs, inputs, inputs ? inputCount_ : 0, outputCount_, frames);
}

void DemoProcessor::getParameterInfo(std::int32_t index, kel::SParameterInfo* info) {
  const ParameterDefinition* definition = parameters_.definition(index);
  if (definition && info) describeParameter(*definition, *info);
}

void DemoProcessor::setParameter(std::int32_t index, std::int32_t value) {
  parameters_.set(index, value);
}

std::int32_t DemoProcessor::getChunkSize() {
  return static_cast<std::int32_t>(chunkSize(parameters_));
}

void DemoProcessor::setChunk(void* bytes, std::int32_t byteCount) {
  if (byteCount <= 0) return;
  readChunk(kind_, static_cast<const std::uint8_t*>(bytes), static_cast<std::size_t>(byteCount),
            parameters_);
}

void DemoProcessor::getChunk(void* buffer) {
  if (buffer) writeChunk(kind_, parameters_, static_cast<std::uint8_t*>(buffer));
}

void DemoProcessor::processEvents(kel::SEvent* events, std::int32_t count) {
  if (!events || count <= 0) return;
  handleEvents(events, std::min(count, kel::kMaxEventsPerCall));
}

}  // namespace demo
