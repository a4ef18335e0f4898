#include "tone_view_win32.h"

#include <cstdio>

#include "kel/parameter_curve.h"

namespace mytone {
namespace {

constexpr char kWindowClass[] = "MyToneEngineView";
constexpr std::int32_t kWidth = 360;
constexpr std::int32_t kRowHeight = 48;
constexpr std::int32_t kMargin = 12;
constexpr std::int32_t kBarTop = 22;  // within a row
constexpr std::int32_t kBarHeight = 14;

// The window class is shared by all open views of this library and withdrawn
// with the last one, so no class outlives the library's code.
int openViews = 0;

HINSTANCE libraryInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&libraryInstance), &module);
  return module;
}

// A parameter's value as a bar position from 0 to 1 and back, along its
// curve exactly as the host shows it: the contract's curve helpers are the
// bridge's own arithmetic, so the bar and the host's display always agree.
double positionOf(ToneProcessor& processor, std::int32_t index, std::int32_t value) {
  kel::SParameterInfo info;
  processor.getParameterInfo(index, &info);
  return kel::normalizedFromValue(info, value);
}

std::int32_t valueAt(ToneProcessor& processor, std::int32_t index, double position) {
  position = position < 0.0 ? 0.0 : position > 1.0 ? 1.0 : position;
  kel::SParameterInfo info;
  processor.getParameterInfo(index, &info);
  std::int32_t value = processor.getParameter(index);
  kel::valueFromNormalized(info, static_cast<float>(position), &value);
  return value;
}

void fill(HDC dc, RECT rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

}  // namespace

ToneView::ToneView(ToneProcessor* processor, kel::IHost* host)
    : processor_(processor), host_(host) {}

ToneView::~ToneView() {
  close();
}

void ToneView::getSize(std::int32_t* width, std::int32_t* height) {
  if (width) *width = kWidth;
  if (height) *height = kParameterCount * kRowHeight + kMargin;
}

void ToneView::open(void* parentWindow, std::int32_t x, std::int32_t y) {
  close();
  if (!parentWindow) return;
  if (openViews == 0) {
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &ToneView::windowProc;
    windowClass.hInstance = libraryInstance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_HAND);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return;
  }
  ++openViews;
  holdsClass_ = true;
  std::int32_t width = 0;
  std::int32_t height = 0;
  getSize(&width, &height);
  window_ = CreateWindowExA(0, kWindowClass, "MyTone", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x,
                            y, width, height, static_cast<HWND>(parentWindow), nullptr,
                            libraryInstance(), this);
  if (!window_) close();
}

void ToneView::close() {
  if (window_) {
    HWND window = window_;
    window_ = nullptr;
    DestroyWindow(window);
  }
  dragged_ = -1;
  if (holdsClass_ && --openViews == 0) UnregisterClassA(kWindowClass, libraryInstance());
  holdsClass_ = false;
}

void ToneView::update() {
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void ToneView::idle() {
  // The host may have changed a value (automation, a preset): redraw then.
  for (std::int32_t i = 0; i < kParameterCount; ++i) {
    if (processor_->getParameter(i) != shown_[i]) return update();
  }
}

void ToneView::dragTo(std::int32_t x) {
  const double position = double(x - kMargin) / (kWidth - 2 * kMargin);
  const std::int32_t value = valueAt(*processor_, dragged_, position);
  if (value == processor_->getParameter(dragged_)) return;
  processor_->setParameter(dragged_, value);
  if (host_) host_->parameterChanged(dragged_);
  update();
}

void ToneView::paint(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  fill(dc, client, RGB(30, 34, 42));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(220, 224, 232));
  for (std::int32_t i = 0; i < kParameterCount; ++i) {
    const std::int32_t value = processor_->getParameter(i);
    shown_[i] = value;
    char text[64];
    if (i == kCutoff) {
      std::snprintf(text, sizeof text, "Cutoff  %ld Hz", static_cast<long>(value));
    } else {
      std::snprintf(text, sizeof text, "Gain  %.1f dB", value / 10.0);
    }
    const std::int32_t top = kMargin / 2 + i * kRowHeight;
    RECT label{kMargin, top, kWidth - kMargin, top + kBarTop};
    DrawTextA(dc, text, -1, &label, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    const RECT track{kMargin, top + kBarTop, kWidth - kMargin, top + kBarTop + kBarHeight};
    fill(dc, track, RGB(58, 64, 76));
    RECT bar = track;
    bar.right = bar.left +
                static_cast<LONG>(positionOf(*processor_, i, value) * (track.right - track.left));
    fill(dc, bar, RGB(94, 160, 230));
  }
}

LRESULT CALLBACK ToneView::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* view = reinterpret_cast<ToneView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!view) return DefWindowProcA(window, message, wParam, lParam);
  const auto x = static_cast<std::int32_t>(static_cast<short>(LOWORD(lParam)));
  const auto y = static_cast<std::int32_t>(static_cast<short>(HIWORD(lParam)));
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      view->paint(dc);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const std::int32_t row = (y - kMargin / 2) / kRowHeight;
      if (row < 0 || row >= kParameterCount) return 0;
      view->dragged_ = row;
      SetCapture(window);
      view->dragTo(x);
      return 0;
    }
    case WM_MOUSEMOVE:
      if (view->dragged_ >= 0) view->dragTo(x);
      return 0;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      view->dragged_ = -1;
      if (message == WM_LBUTTONUP) ReleaseCapture();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace mytone
