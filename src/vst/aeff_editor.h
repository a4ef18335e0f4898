// Editor base class: knows its effect, keeps the parent window handle and an
// update flag, and answers every editor opcode with a neutral default.
// [main]: every operation runs on the host thread that sends the editor
// opcodes.
// Ownership: the effect owns its editor; the editor does not own the effect
// or the window.
#pragma once

#include "vst/vst_types.h"

class AudioEffect;

class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect);
  virtual ~AEffEditor();

  // Writes a null rectangle into `rect` (when given) and answers 0.
  virtual VstInt32 getRect(ERect** rect);
  // Keeps the parent window handle; answers 0.
  virtual VstInt32 open(void* ptr);
  virtual void close();
  // Consumes a pending update: clears the flag and calls update().
  virtual void idle();
  virtual void update();
  virtual void postUpdate();
  virtual VstInt32 onKeyDown(VstKeyCode& keyCode);
  virtual VstInt32 onKeyUp(VstKeyCode& keyCode);
  virtual VstInt32 setKnobMode(VstInt32 val);
  virtual bool onWheel(float distance);

  void* getSystemWindow() const { return systemWindow; }
  VstInt32 getUpdateFlag() const { return updateFlag; }

  AEffEditor(const AEffEditor&) = delete;
  AEffEditor& operator=(const AEffEditor&) = delete;

 protected:
  AudioEffect* effect;
  void* systemWindow;
  VstInt32 updateFlag;
};
