// AudioEffectX's extension host services: each sends one request to the host
// callback with this effect's record, [any thread]: on the caller's. Without a host
// callback nothing is sent and the neutral answer (0, false, null, or the
// stored value for the two update services) is given. Pointers passed in stay
// owned by the caller; pointers the host answers stay owned by the host.
#include "vst/audio_effect_x.h"
#include "vst/vst_opcodes.h"

namespace {

bool isNonZero(VstIntPtr answer) {
  return answer != 0;
}

}  // namespace

void AudioEffectX::wantEvents(VstInt32 filter) {
  callHost(audioMasterWantMidi, 0, filter, nullptr, 0.0f, 0);
}

VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
  return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter, nullptr, 0.0f, 0));
}

// Success only when the host answers exactly 1.
bool AudioEffectX::sendVstEventsToHost(VstEvents* events) {
  return callHost(audioMasterProcessEvents, 0, 0, events, 0.0f, 0) == 1;
}

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) {
  return static_cast<VstInt32>(callHost(audioMasterTempoAt, 0, pos, nullptr, 0.0f, 0));
}

VstInt32 AudioEffectX::getNumAutomatableParameters() {
  return static_cast<VstInt32>(
      callHost(audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, 0));
}

VstInt32 AudioEffectX::getParameterQuantization() {
  return static_cast<VstInt32>(
      callHost(audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::ioChanged() {
  return isNonZero(callHost(audioMasterIOChanged, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::needIdle() {
  return isNonZero(callHost(audioMasterNeedIdle, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
  return isNonZero(callHost(audioMasterSizeWindow, width, height, nullptr, 0.0f, 0));
}

// Stores a positive answer without calling setSampleRate, so overrides of it
// are not told; answers the stored rate.
double AudioEffectX::updateSampleRate() {
  const VstIntPtr rate = callHost(audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, 0);
  if (rate > 0) sampleRate = static_cast<float>(rate);
  return sampleRate;
}

// Stores a positive answer without calling setBlockSize; answers the stored size.
VstInt32 AudioEffectX::updateBlockSize() {
  const VstIntPtr size = callHost(audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, 0);
  if (size > 0) blockSize = static_cast<VstInt32>(size);
  return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() {
  return static_cast<VstInt32>(callHost(audioMasterGetInputLatency, 0, 0, nullptr, 0.0f, 0));
}

VstInt32 AudioEffectX::getOutputLatency() {
  return static_cast<VstInt32>(callHost(audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f, 0));
}

AEffect* AudioEffectX::getPreviousPlug(VstInt32 input) {
  return reinterpret_cast<AEffect*>(
      callHost(audioMasterGetPreviousPlug, 0, input, nullptr, 0.0f, 0));
}

AEffect* AudioEffectX::getNextPlug(VstInt32 output) {
  return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug, 0, output, nullptr, 0.0f, 0));
}

VstInt32 AudioEffectX::willProcessReplacing() {
  return static_cast<VstInt32>(
      callHost(audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f, 0));
}

VstInt32 AudioEffectX::getCurrentProcessLevel() {
  return static_cast<VstInt32>(callHost(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, 0));
}

VstInt32 AudioEffectX::getAutomationState() {
  return static_cast<VstInt32>(callHost(audioMasterGetAutomationState, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::offlineStart(VstAudioFile* ptr, VstInt32 numAudioFiles,
                                VstInt32 numNewAudioFiles) {
  return isNonZero(
      callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, ptr, 0.0f, 0));
}

bool AudioEffectX::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource) {
  return isNonZero(callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline, 0.0f, 0));
}

bool AudioEffectX::offlineWrite(VstOfflineTask* offline, VstInt32 option) {
  return isNonZero(callHost(audioMasterOfflineWrite, 0, option, offline, 0.0f, 0));
}

VstInt32 AudioEffectX::offlineGetCurrentPass() {
  return isNonZero(callHost(audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, 0)) ? 1 : 0;
}

VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
  return isNonZero(callHost(audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, 0)) ? 1 : 0;
}

void AudioEffectX::setOutputSamplerate(float samplerate) {
  callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, samplerate, 0);
}

VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
  return reinterpret_cast<VstSpeakerArrangement*>(
      callHost(audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0.0f, 0));
}

VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
  return reinterpret_cast<VstSpeakerArrangement*>(
      callHost(audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0.0f, 0));
}

// The host writes into `text`; without a buffer it is not asked.
bool AudioEffectX::getHostVendorString(char* text) {
  if (text == nullptr) return false;
  return isNonZero(callHost(audioMasterGetVendorString, 0, 0, text, 0.0f, 0));
}

// The host writes into `text`; without a buffer it is not asked.
bool AudioEffectX::getHostProductString(char* text) {
  if (text == nullptr) return false;
  return isNonZero(callHost(audioMasterGetProductString, 0, 0, text, 0.0f, 0));
}

VstInt32 AudioEffectX::getHostVendorVersion() {
  return static_cast<VstInt32>(callHost(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f, 0));
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                           float floatArg) {
  return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg, 0);
}

// The host reads `text`; without one there is nothing to ask.
VstInt32 AudioEffectX::canHostDo(char* text) {
  if (text == nullptr) return 0;
  return isNonZero(callHost(audioMasterCanDo, 0, 0, text, 0.0f, 0)) ? 1 : 0;
}

VstInt32 AudioEffectX::getHostLanguage() {
  return static_cast<VstInt32>(callHost(audioMasterGetLanguage, 0, 0, nullptr, 0.0f, 0));
}

void* AudioEffectX::openWindow(VstWindow* window) {
  return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window, 0.0f, 0));
}

bool AudioEffectX::closeWindow(VstWindow* window) {
  return isNonZero(callHost(audioMasterCloseWindow, 0, 0, window, 0.0f, 0));
}

void* AudioEffectX::getDirectory() {
  return reinterpret_cast<void*>(callHost(audioMasterGetDirectory, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::updateDisplay() {
  return isNonZero(callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::beginEdit(VstInt32 index) {
  return isNonZero(callHost(audioMasterBeginEdit, index, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::endEdit(VstInt32 index) {
  return isNonZero(callHost(audioMasterEndEdit, index, 0, nullptr, 0.0f, 0));
}

bool AudioEffectX::openFileSelector(VstFileSelect* ptr) {
  if (ptr == nullptr) return false;
  return isNonZero(callHost(audioMasterOpenFileSelector, 0, 0, ptr, 0.0f, 0));
}

bool AudioEffectX::closeFileSelector(VstFileSelect* ptr) {
  if (ptr == nullptr) return false;
  return isNonZero(callHost(audioMasterCloseFileSelector, 0, 0, ptr, 0.0f, 0));
}

bool AudioEffectX::getChunkFile(void* nativePath) {
  if (nativePath == nullptr) return false;
  return isNonZero(callHost(audioMasterGetChunkFile, 0, 0, nativePath, 0.0f, 0));
}
