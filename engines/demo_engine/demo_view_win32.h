// The demo engine's editor: a Win32 child window inside the host's window that
// draws one bar per parameter and lets the mouse set it. Every change made here
// goes to the processor and is reported through kel::IHost::parameterChanged.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>

#include "demo_processor.h"
#include "kel/kel_interfaces.h"

namespace demo {

class DemoView : public kel::IView {
 public:
  // `processor` and `host` (may be null) must outlive the view.
  DemoView(DemoProcessor* processor, kel::IHost* host);
  virtual ~DemoView();
  DemoView(const DemoView&) = delete;
  DemoView& operator=(const DemoView&) = delete;

  // [main] Closes the window if open and destroys the view.
  void release() override;
  // [main] The fixed size of the window in pixels.
  void getSize(std::int32_t* width, std::int32_t* height) override;
  // [main] Opens the child window in `parentWindow` (an HWND) at x, y; a
  // second open first closes the previous window; a null parent does nothing.
  void open(void* parentWindow, std::int32_t x, std::int32_t y) override;
  // [main] Destroys the window; harmless when none is open.
  void close() override;
  // [main] Redraws everything.
  void update() override;
  // [main] Redraws when a value changed behind the editor's back.
  void idle() override;

 private:
  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
  void paint(HDC dc);
  std::int32_t rowAt(std::int32_t y) const;
  void setFromMouse(std::int32_t row, std::int32_t x);

  DemoProcessor* processor_;
  kel::IHost* host_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  HFONT titleFont_ = nullptr;
  bool holdsClass_ = false;  // this view counts in the window class's users
  std::int32_t dragRow_ = -1;
  std::array<std::int32_t, ParameterBank::kMaxParameters> shownValues_{};
};

// The view factory handed to DemoModule: a new DemoView, or null.
kel::IView* createWin32View(DemoProcessor* processor, kel::IHost* host);

}  // namespace demo
