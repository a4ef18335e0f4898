// MyTone's editor: one bar per parameter in a child window of the host's;
// dragging a bar sets the parameter and tells the host.
#pragma once

#include <windows.h>

#include <cstdint>

#include "kel/kel_interfaces.h"
#include "tone_processor.h"

namespace mytone {

class ToneView final : public kel::IView {
 public:
  // `processor` and `host` must outlive the view (the bridge releases the
  // view first).
  ToneView(ToneProcessor* processor, kel::IHost* host);
  ~ToneView();

  // [main] on the thread that sends the host's editor opcodes.
  void release() override { delete this; }
  void getSize(std::int32_t* width, std::int32_t* height) override;
  void open(void* parentWindow, std::int32_t x, std::int32_t y) override;
  void close() override;
  void update() override;
  void idle() override;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc);
  void dragTo(std::int32_t x);

  ToneProcessor* processor_;
  kel::IHost* host_;
  HWND window_ = nullptr;
  bool holdsClass_ = false;
  std::int32_t dragged_ = -1;  // the parameter under the mouse, or -1
  std::int32_t shown_[kParameterCount] = {};
};

}  // namespace mytone
