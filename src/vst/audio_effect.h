// Base effect class: owns the effect record, routes the record's five entries
// to virtual operations, dispatches opcodes 0 to 24 and offers neutral
// defaults, record setters, basic host queries and value formatting.
//
// Threads, tagged on every operation: [audio] the host's audio thread, [main]
// its other threads (the dispatcher's opcodes), [any thread] either. Nothing
// here locks. Ownership: the host owns the object through cEffect (destroyed
// on effClose); the object owns its editor; text buffers stay the host's.
#pragma once

#include "vst/vst_types.h"

class AEffEditor;

class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  virtual ~AudioEffect();

  // --- virtual operations, in slot order ---------------------------------
  // [any thread]
  virtual void setParameter(VstInt32 index, float value);
  virtual float getParameter(VstInt32 index);
  virtual void setParameterAutomated(VstInt32 index, float value);

  // [audio]
  virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
  virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);

  // [main], and [audio] for effProcessEvents; everything below is [main]
  // unless tagged otherwise.
  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt);

  virtual void open();
  virtual void close();

  virtual VstInt32 getProgram();
  virtual void setProgram(VstInt32 program);
  virtual void setProgramName(char* name);
  virtual void getProgramName(char* name);

  virtual void getParameterLabel(VstInt32 index, char* label);
  virtual void getParameterDisplay(VstInt32 index, char* text);
  virtual void getParameterName(VstInt32 index, char* text);

  virtual float getVu();

  virtual VstInt32 getChunk(void** data, bool isPreset);
  virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);

  virtual void setSampleRate(float sampleRate);
  virtual void setBlockSize(VstInt32 blockSize);
  virtual void suspend();
  virtual void resume();

  virtual void setUniqueID(VstInt32 id);
  virtual void setNumInputs(VstInt32 inputs);
  virtual void setNumOutputs(VstInt32 outputs);
  virtual void hasVu(bool state);
  virtual void hasClip(bool state);
  virtual void canMono(bool state);
  virtual void canProcessReplacing(bool state);
  virtual void programsAreChunks(bool state);
  virtual void setRealtimeQualities(VstInt32 qualities);
  virtual void setOfflineQualities(VstInt32 qualities);
  virtual void setInitialDelay(VstInt32 delay);

  // [any thread] The stored values: the value formatters read the rate.
  virtual float getSampleRate();
  virtual VstInt32 getBlockSize();

  // [main] Host queries.
  virtual VstInt32 getMasterVersion();
  virtual VstInt32 getCurrentUniqueId();
  virtual void masterIdle();
  virtual bool isInputConnected(VstInt32 input);
  virtual bool isOutputConnected(VstInt32 output);

  // [any thread] Value formatting: each writes at most 8 characters and a NUL.
  virtual void dB2string(float value, char* text);
  virtual void Hz2string(float samples, char* text);
  virtual void ms2string(float samples, char* text);
  virtual void float2string(float value, char* text);
  virtual void long2string(VstInt32 value, char* text);

  // --- non-virtual ---------------------------------------------------------
  AEffect* getAeffect() { return &cEffect; }
  // Attaches (or with null, detaches) the editor; attaching sets
  // effFlagsHasEditor, which is never cleared. The effect owns the editor.
  void setEditor(AEffEditor* newEditor);

  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

 protected:
  // Sends one request to the host with this effect's record; without a host
  // callback nothing is sent and `fallback` is answered.
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt,
                     VstIntPtr fallback) const;
  void setFlag(VstInt32 flag, bool state);

  float sampleRate;
  AEffEditor* editor;
  audioMasterCallback audioMaster;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 curProgram;
  VstInt32 blockSize;
  AEffect cEffect;

 private:
  // The record's entries: C calling convention, called by the host; each
  // tagged at its definition.
  static VstIntPtr VSTCALLBACK dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index,
                                             VstIntPtr value, void* ptr, float opt);
  static void VSTCALLBACK processEntry(AEffect* e, float** inputs, float** outputs,
                                       VstInt32 sampleFrames);
  static void VSTCALLBACK processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                                VstInt32 sampleFrames);
  static void VSTCALLBACK setParameterEntry(AEffect* e, VstInt32 index, float value);
  static float VSTCALLBACK getParameterEntry(AEffect* e, VstInt32 index);
};
