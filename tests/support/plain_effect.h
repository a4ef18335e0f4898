// The smallest concrete effect: AudioEffectX with every default in place.
// Gives tests access to the protected state they check.
#pragma once

#include "vst/audio_effect_x.h"

class PlainEffect : public AudioEffectX {
 public:
  explicit PlainEffect(audioMasterCallback master = nullptr, VstInt32 programCount = 1,
                       VstInt32 parameterCount = 1)
      : AudioEffectX(master, programCount, parameterCount) {}

  void process(float**, float**, VstInt32) override {}

  AEffEditor* currentEditor() const { return editor; }
  VstInt32 currentProgram() const { return curProgram; }
  VstInt32 storedBlockSize() const { return blockSize; }
  float storedSampleRate() const { return sampleRate; }
  VstInt32 programCount() const { return numPrograms; }
  VstInt32 parameterCount() const { return numParams; }
  audioMasterCallback hostCallback() const { return audioMaster; }
};
