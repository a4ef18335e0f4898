#include "recording_effect.h"

#include <cstdio>
#include <initializer_list>

namespace {

std::string n(long long value) {
  return std::to_string(value);
}

std::string f(float value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g", static_cast<double>(value));
  return text;
}

std::string b(bool value) {
  return value ? "true" : "false";
}

std::string call(const char* name, std::initializer_list<std::string> args = {}) {
  std::string text = name;
  text += '(';
  const char* separator = "";
  for (const std::string& arg : args) {
    text += separator;
    text += arg;
    separator = ",";
  }
  return text + ')';
}

}  // namespace

RecordingEffect::RecordingEffect(audioMasterCallback master, VstInt32 programCount,
                                 VstInt32 parameterCount)
    : AudioEffectX(master, programCount, parameterCount) {}

RecordingEffect::~RecordingEffect() {
  if (destroyed != nullptr) *destroyed = true;
}

std::string RecordingEffect::p(const void* pointer) const {
  if (pointer == nullptr) return "null";
  return pointer == marker ? "P" : "other";
}

// --- AudioEffect ---------------------------------------------------------------------

void RecordingEffect::setParameter(VstInt32 index, float value) {
  log(call("setParameter", {n(index), f(value)}));
}
float RecordingEffect::getParameter(VstInt32 index) {
  log(call("getParameter", {n(index)}));
  return floatAnswer;
}
void RecordingEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
  log(call("process", {p(inputs), p(outputs), n(sampleFrames)}));
}
void RecordingEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
  log(call("processReplacing", {p(inputs), p(outputs), n(sampleFrames)}));
}
void RecordingEffect::open() {
  log(call("open"));
}
void RecordingEffect::close() {
  log(call("close"));
}
VstInt32 RecordingEffect::getProgram() {
  log(call("getProgram"));
  return number();
}
void RecordingEffect::setProgram(VstInt32 program) {
  log(call("setProgram", {n(program)}));
  AudioEffectX::setProgram(program);
}
void RecordingEffect::setProgramName(char* name) {
  log(call("setProgramName", {p(name)}));
}
void RecordingEffect::getProgramName(char* name) {
  log(call("getProgramName", {p(name)}));
}
void RecordingEffect::getParameterLabel(VstInt32 index, char* label) {
  log(call("getParameterLabel", {n(index), p(label)}));
}
void RecordingEffect::getParameterDisplay(VstInt32 index, char* text) {
  log(call("getParameterDisplay", {n(index), p(text)}));
}
void RecordingEffect::getParameterName(VstInt32 index, char* text) {
  log(call("getParameterName", {n(index), p(text)}));
}
float RecordingEffect::getVu() {
  log(call("getVu"));
  return floatAnswer;
}
VstInt32 RecordingEffect::getChunk(void** data, bool isPreset) {
  log(call("getChunk", {p(data), b(isPreset)}));
  return number();
}
VstInt32 RecordingEffect::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
  log(call("setChunk", {p(data), n(byteSize), b(isPreset)}));
  return number();
}
void RecordingEffect::setSampleRate(float rate) {
  log(call("setSampleRate", {f(rate)}));
}
void RecordingEffect::setBlockSize(VstInt32 size) {
  log(call("setBlockSize", {n(size)}));
}
void RecordingEffect::suspend() {
  log(call("suspend"));
}
void RecordingEffect::resume() {
  log(call("resume"));
}

// --- AudioEffectX --------------------------------------------------------------------

VstInt32 RecordingEffect::processEvents(VstEvents* events) {
  log(call("processEvents", {p(events)}));
  return number();
}
bool RecordingEffect::canParameterBeAutomated(VstInt32 index) {
  log(call("canParameterBeAutomated", {n(index)}));
  return truth();
}
bool RecordingEffect::string2parameter(VstInt32 index, char* text) {
  log(call("string2parameter", {n(index), p(text)}));
  return truth();
}
VstInt32 RecordingEffect::getNumCategories() {
  log(call("getNumCategories"));
  return number();
}
bool RecordingEffect::getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) {
  log(call("getProgramNameIndexed", {n(category), n(index), p(text)}));
  return truth();
}
bool RecordingEffect::copyProgram(VstInt32 destination) {
  log(call("copyProgram", {n(destination)}));
  return truth();
}
void RecordingEffect::inputConnected(VstInt32 index, bool state) {
  log(call("inputConnected", {n(index), b(state)}));
}
void RecordingEffect::outputConnected(VstInt32 index, bool state) {
  log(call("outputConnected", {n(index), b(state)}));
}
bool RecordingEffect::getInputProperties(VstInt32 index, VstPinProperties* properties) {
  log(call("getInputProperties", {n(index), p(properties)}));
  return truth();
}
bool RecordingEffect::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  log(call("getOutputProperties", {n(index), p(properties)}));
  return truth();
}
VstPlugCategory RecordingEffect::getPlugCategory() {
  log(call("getPlugCategory"));
  return static_cast<VstPlugCategory>(number());
}
VstInt32 RecordingEffect::reportCurrentPosition() {
  log(call("reportCurrentPosition"));
  return number();
}
float* RecordingEffect::reportDestinationBuffer() {
  log(call("reportDestinationBuffer"));
  return pointer<float>();
}
bool RecordingEffect::offlineNotify(VstAudioFile* ptr, VstInt32 numAudioFiles, bool start) {
  log(call("offlineNotify", {p(ptr), n(numAudioFiles), b(start)}));
  return truth();
}
bool RecordingEffect::offlinePrepare(VstOfflineTask* offline, VstInt32 count) {
  log(call("offlinePrepare", {p(offline), n(count)}));
  return truth();
}
bool RecordingEffect::offlineRun(VstOfflineTask* offline, VstInt32 count) {
  log(call("offlineRun", {p(offline), n(count)}));
  return truth();
}
bool RecordingEffect::processVariableIo(VstVariableIo* varIo) {
  log(call("processVariableIo", {p(varIo)}));
  return truth();
}
bool RecordingEffect::setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                                            VstSpeakerArrangement* pluginOutput) {
  log(call("setSpeakerArrangement", {p(pluginInput), p(pluginOutput)}));
  return truth();
}
bool RecordingEffect::getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                                            VstSpeakerArrangement** pluginOutput) {
  log(call("getSpeakerArrangement", {p(pluginInput), p(pluginOutput)}));
  return truth();
}
void RecordingEffect::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
  log(call("setBlockSizeAndSampleRate", {n(newBlockSize), f(newSampleRate)}));
  AudioEffectX::setBlockSizeAndSampleRate(newBlockSize, newSampleRate);
}
bool RecordingEffect::setBypass(bool onOff) {
  log(call("setBypass", {b(onOff)}));
  return truth();
}
bool RecordingEffect::getEffectName(char* name) {
  log(call("getEffectName", {p(name)}));
  return truth();
}
bool RecordingEffect::getErrorText(char* text) {
  log(call("getErrorText", {p(text)}));
  return truth();
}
bool RecordingEffect::getVendorString(char* text) {
  log(call("getVendorString", {p(text)}));
  return truth();
}
bool RecordingEffect::getProductString(char* text) {
  log(call("getProductString", {p(text)}));
  return truth();
}
VstInt32 RecordingEffect::getVendorVersion() {
  log(call("getVendorVersion"));
  return number();
}
VstIntPtr RecordingEffect::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg,
                                          float floatArg) {
  log(call("vendorSpecific", {n(lArg), n(lArg2), p(ptrArg), f(floatArg)}));
  return answer;
}
VstInt32 RecordingEffect::canDo(char* text) {
  log(call("canDo", {p(text)}));
  return number();
}
void* RecordingEffect::getIcon() {
  log(call("getIcon"));
  return pointer<void>();
}
bool RecordingEffect::setViewPosition(VstInt32 x, VstInt32 y) {
  log(call("setViewPosition", {n(x), n(y)}));
  return truth();
}
VstInt32 RecordingEffect::getGetTailSize() {
  log(call("getGetTailSize"));
  return number();
}
VstInt32 RecordingEffect::fxIdle() {
  log(call("fxIdle"));
  return number();
}
bool RecordingEffect::getParameterProperties(VstInt32 index, VstParameterProperties* props) {
  log(call("getParameterProperties", {n(index), p(props)}));
  return truth();
}
bool RecordingEffect::keysRequired() {
  log(call("keysRequired"));
  return truth();
}
VstInt32 RecordingEffect::getVstVersion() {
  log(call("getVstVersion"));
  return number();
}
VstInt32 RecordingEffect::getMidiProgramName(VstInt32 channel, MidiProgramName* name) {
  log(call("getMidiProgramName", {n(channel), p(name)}));
  return number();
}
VstInt32 RecordingEffect::getCurrentMidiProgram(VstInt32 channel, MidiProgramName* current) {
  log(call("getCurrentMidiProgram", {n(channel), p(current)}));
  return number();
}
VstInt32 RecordingEffect::getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category) {
  log(call("getMidiProgramCategory", {n(channel), p(category)}));
  return number();
}
bool RecordingEffect::hasMidiProgramsChanged(VstInt32 channel) {
  log(call("hasMidiProgramsChanged", {n(channel)}));
  return truth();
}
bool RecordingEffect::getMidiKeyName(VstInt32 channel, MidiKeyName* keyName) {
  log(call("getMidiKeyName", {n(channel), p(keyName)}));
  return truth();
}
bool RecordingEffect::beginSetProgram() {
  log(call("beginSetProgram"));
  return truth();
}
bool RecordingEffect::endSetProgram() {
  log(call("endSetProgram"));
  return truth();
}
VstInt32 RecordingEffect::setTotalSampleToProcess(VstInt32 value) {
  log(call("setTotalSampleToProcess", {n(value)}));
  return number();
}
VstInt32 RecordingEffect::getNextShellPlugin(char* name) {
  log(call("getNextShellPlugin", {p(name)}));
  return number();
}
VstInt32 RecordingEffect::startProcess() {
  log(call("startProcess"));
  return number();
}
VstInt32 RecordingEffect::stopProcess() {
  log(call("stopProcess"));
  return number();
}
bool RecordingEffect::setPanLaw(VstInt32 type, float val) {
  log(call("setPanLaw", {n(type), f(val)}));
  return truth();
}
VstInt32 RecordingEffect::beginLoadBank(VstPatchChunkInfo* ptr) {
  log(call("beginLoadBank", {p(ptr)}));
  return number();
}
VstInt32 RecordingEffect::beginLoadProgram(VstPatchChunkInfo* ptr) {
  log(call("beginLoadProgram", {p(ptr)}));
  return number();
}
