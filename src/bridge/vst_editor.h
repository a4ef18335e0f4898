// The bridge's editor: draws nothing itself and forwards the window
// operations to the engine's view. Constructing it attaches it to the effect
// and announces the editor to the host.
// [main]: every operation runs on the host thread that sends the editor
// opcodes, and calls the view on that thread. Ownership: the effect owns the editor; the bridge
// owns and releases the view.
#pragma once

#include "kel/kel_interfaces.h"
#include "vst/aeff_editor.h"

class CVSTEditor : public AEffEditor {
 public:
  CVSTEditor(AudioEffect* effect, kel::IView* view);

  // Fills the process-wide rectangle from the view's size (low 16 bits of
  // each), hands out its address and answers 1; 0 without a view.
  VstInt32 getRect(ERect** rect) override;
  // Opens the view in the host's window; answers 1 (0 without a view).
  VstInt32 open(void* ptr) override;
  void close() override;
  void idle() override;
  void update() override;

 private:
  kel::IView* view;
};
