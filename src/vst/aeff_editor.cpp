// AEffEditor: the neutral editor. It remembers the parent window and a
// pending update, and answers every editor opcode with its default.
#include "vst/aeff_editor.h"

AEffEditor::AEffEditor(AudioEffect* owner) : effect(owner), systemWindow(nullptr), updateFlag(0) {}

AEffEditor::~AEffEditor() = default;

// No rectangle of its own: the place receives null.
VstInt32 AEffEditor::getRect(ERect** rect) {
  if (rect != nullptr) *rect = nullptr;
  return 0;
}

VstInt32 AEffEditor::open(void* ptr) {
  systemWindow = ptr;
  return 0;
}

// The window handle is kept after close.
void AEffEditor::close() {}

// A pending update is consumed before update() runs, so an update posted
// during it is kept for the next idle.
void AEffEditor::idle() {
  if (updateFlag != 0) {
    updateFlag = 0;
    update();
  }
}

void AEffEditor::update() {}

void AEffEditor::postUpdate() {
  updateFlag = 1;
}

VstInt32 AEffEditor::onKeyDown(VstKeyCode&) {
  return -1;
}

VstInt32 AEffEditor::onKeyUp(VstKeyCode&) {
  return -1;
}

VstInt32 AEffEditor::setKnobMode(VstInt32) {
  return 0;
}

bool AEffEditor::onWheel(float) {
  return false;
}
