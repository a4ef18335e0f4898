// An effect for dispatcher tests: every operation a dispatcher or a record
// entry can reach is overridden to log its name and arguments, and answers
// `answer` (numbers as they are, booleans as answer != 0, pointers as the
// address `answer`). Pointer arguments are logged as "P" when they equal
// `marker`, "null" when null and "other" otherwise.
#pragma once

#include <string>
#include <vector>

#include "vst/audio_effect_x.h"

class RecordingEffect : public AudioEffectX {
 public:
  explicit RecordingEffect(audioMasterCallback master = nullptr, VstInt32 numPrograms = 1,
                           VstInt32 numParams = 1);
  ~RecordingEffect() override;

  std::vector<std::string> calls;
  VstIntPtr answer = 0;
  float floatAnswer = 0.0f;
  const void* marker = nullptr;
  bool* destroyed = nullptr;  // set to true by the destructor

  // Access to the protected state the tests check.
  AEffEditor* currentEditor() const { return editor; }
  VstInt32 currentProgram() const { return curProgram; }
  VstInt32 storedBlockSize() const { return blockSize; }
  float storedSampleRate() const { return sampleRate; }

  // --- AudioEffect ---
  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  void open() override;
  void close() override;
  VstInt32 getProgram() override;
  void setProgram(VstInt32 program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;
  float getVu() override;
  VstInt32 getChunk(void** data, bool isPreset) override;
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;
  void setSampleRate(float rate) override;
  void setBlockSize(VstInt32 size) override;
  void suspend() override;
  void resume() override;

  // --- AudioEffectX ---
  VstInt32 processEvents(VstEvents* events) override;
  bool canParameterBeAutomated(VstInt32 index) override;
  bool string2parameter(VstInt32 index, char* text) override;
  VstInt32 getNumCategories() override;
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  bool copyProgram(VstInt32 destination) override;
  void inputConnected(VstInt32 index, bool state) override;
  void outputConnected(VstInt32 index, bool state) override;
  bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  VstPlugCategory getPlugCategory() override;
  VstInt32 reportCurrentPosition() override;
  float* reportDestinationBuffer() override;
  bool offlineNotify(VstAudioFile* ptr, VstInt32 numAudioFiles, bool start) override;
  bool offlinePrepare(VstOfflineTask* offline, VstInt32 count) override;
  bool offlineRun(VstOfflineTask* offline, VstInt32 count) override;
  bool processVariableIo(VstVariableIo* varIo) override;
  bool setSpeakerArrangement(VstSpeakerArrangement* pluginInput,
                             VstSpeakerArrangement* pluginOutput) override;
  bool getSpeakerArrangement(VstSpeakerArrangement** pluginInput,
                             VstSpeakerArrangement** pluginOutput) override;
  void setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) override;
  bool setBypass(bool onOff) override;
  bool getEffectName(char* name) override;
  bool getErrorText(char* text) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 getVendorVersion() override;
  VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;
  VstInt32 canDo(char* text) override;
  void* getIcon() override;
  bool setViewPosition(VstInt32 x, VstInt32 y) override;
  VstInt32 getGetTailSize() override;
  VstInt32 fxIdle() override;
  bool getParameterProperties(VstInt32 index, VstParameterProperties* p) override;
  bool keysRequired() override;
  VstInt32 getVstVersion() override;
  VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* midiProgramName) override;
  VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* currentProgram) override;
  VstInt32 getMidiProgramCategory(VstInt32 channel, MidiProgramCategory* category) override;
  bool hasMidiProgramsChanged(VstInt32 channel) override;
  bool getMidiKeyName(VstInt32 channel, MidiKeyName* keyName) override;
  bool beginSetProgram() override;
  bool endSetProgram() override;
  VstInt32 setTotalSampleToProcess(VstInt32 value) override;
  VstInt32 getNextShellPlugin(char* name) override;
  VstInt32 startProcess() override;
  VstInt32 stopProcess() override;
  bool setPanLaw(VstInt32 type, float val) override;
  VstInt32 beginLoadBank(VstPatchChunkInfo* ptr) override;
  VstInt32 beginLoadProgram(VstPatchChunkInfo* ptr) override;

 private:
  std::string p(const void* pointer) const;
  void log(const std::string& call) { calls.push_back(call); }
  VstInt32 number() const { return static_cast<VstInt32>(answer); }
  bool truth() const { return answer != 0; }
  template <typename T>
  T* pointer() const {
    return reinterpret_cast<T*>(answer);
  }
};
