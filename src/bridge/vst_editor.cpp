#include "bridge/vst_editor.h"

#include "vst/audio_effect.h"

namespace {
// One rectangle for every editor of the process: hosts keep the address we
// hand out, so it must outlive any single request.
ERect sharedRect = {0, 0, 0, 0};
}  // namespace

CVSTEditor::CVSTEditor(AudioEffect* owner, kel::IView* engineView)
    : AEffEditor(owner), view(engineView) {
  if (owner != nullptr) owner->setEditor(this);
}

VstInt32 CVSTEditor::getRect(ERect** rect) {
  if (view == nullptr) {
    if (rect != nullptr) *rect = nullptr;
    return 0;
  }
  std::int32_t width = 0;
  std::int32_t height = 0;
  view->getSize(&width, &height);
  sharedRect.top = 0;
  sharedRect.left = 0;
  sharedRect.bottom = static_cast<VstInt16>(static_cast<std::uint16_t>(height));
  sharedRect.right = static_cast<VstInt16>(static_cast<std::uint16_t>(width));
  if (rect != nullptr) *rect = &sharedRect;
  return 1;
}

VstInt32 CVSTEditor::open(void* ptr) {
  systemWindow = ptr;
  if (view == nullptr) return 0;
  view->open(ptr, 0, 0);
  return 1;
}

void CVSTEditor::close() {
  if (view != nullptr) view->close();
}

void CVSTEditor::idle() {
  if (view != nullptr) view->idle();
}

void CVSTEditor::update() {
  if (view != nullptr) view->update();
}
