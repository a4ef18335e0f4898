#include "demo_view_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "parameter_scale.h"
#include "value_text.h"

namespace demo {
namespace {

constexpr char kWindowClass[] = "KelDemoEngineView";
constexpr std::int32_t kWidth = 420;
constexpr std::int32_t kTitleHeight = 44;
constexpr std::int32_t kRowHeight = 50;
constexpr std::int32_t kMargin = 16;
constexpr std::int32_t kBarTop = 22;  // within a row
constexpr std::int32_t kBarHeight = 14;

const COLORREF kBackground = RGB(34, 38, 46);
const COLORREF kTitleText = RGB(236, 239, 244);
const COLORREF kText = RGB(200, 206, 216);
const COLORREF kValueText = RGB(255, 214, 102);
const COLORREF kBarTrack = RGB(58, 64, 76);
const COLORREF kBarFill = RGB(94, 160, 230);

// Window class registration is shared by all open views of this library and
// withdrawn with the last one, so no class outlives the library's code.
int openWindowCount = 0;

HINSTANCE libraryInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&libraryInstance), &module);
  return module;
}

bool registerWindowClass(WNDPROC proc) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = proc;
  wc.hInstance = libraryInstance();
  wc.hCursor = LoadCursor(nullptr, IDC_HAND);
  wc.lpszClassName = kWindowClass;
  return RegisterClassExA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void fillRect(HDC dc, const RECT& rect, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

void drawText(HDC dc, const char* text, RECT rect, COLORREF color, UINT format) {
  SetTextColor(dc, color);
  DrawTextA(dc, text, -1, &rect, format | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

}  // namespace

DemoView::DemoView(DemoProcessor* processor, kel::IHost* host)
    : processor_(processor), host_(host) {}

DemoView::~DemoView() {
  close();
}

void DemoView::release() {
  delete this;
}

void DemoView::getSize(std::int32_t* width, std::int32_t* height) {
  if (width) *width = kWidth;
  if (height) *height = kTitleHeight + processor_->parameters().count() * kRowHeight + kMargin / 2;
}

void DemoView::open(void* parentWindow, std::int32_t x, std::int32_t y) {
  close();
  if (!parentWindow) return;
  if (openWindowCount == 0 && !registerWindowClass(&DemoView::windowProc)) return;
  ++openWindowCount;
  holdsClass_ = true;
  std::int32_t width = 0;
  std::int32_t height = 0;
  getSize(&width, &height);
  font_ =
      CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
  titleFont_ =
      CreateFontA(-18, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
  window_ = CreateWindowExA(0, kWindowClass, processor_->title(),
                            WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height,
                            static_cast<HWND>(parentWindow), nullptr, libraryInstance(), this);
  if (!window_) close();
}

void DemoView::close() {
  if (window_) {
    HWND window = window_;
    window_ = nullptr;
    DestroyWindow(window);
  }
  if (font_) DeleteObject(font_);
  if (titleFont_) DeleteObject(titleFont_);
  font_ = titleFont_ = nullptr;
  dragRow_ = -1;
  if (holdsClass_ && --openWindowCount == 0) UnregisterClassA(kWindowClass, libraryInstance());
  holdsClass_ = false;
}

void DemoView::update() {
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void DemoView::idle() {
  if (!window_) return;
  const ParameterBank& bank = processor_->parameters();
  for (std::int32_t i = 0; i < bank.count(); ++i) {
    if (bank.get(i) != shownValues_[i]) {
      update();
      return;
    }
  }
}

std::int32_t DemoView::rowAt(std::int32_t y) const {
  if (y < kTitleHeight) return -1;
  const std::int32_t row = (y - kTitleHeight) / kRowHeight;
  return row < processor_->parameters().count() ? row : -1;
}

void DemoView::setFromMouse(std::int32_t row, std::int32_t x) {
  const ParameterDefinition* definition = processor_->parameters().definition(row);
  if (!definition) return;
  const double position = static_cast<double>(x - kMargin) / (kWidth - 2 * kMargin);
  const std::int32_t value = positionToValue(*definition, position);
  if (value == processor_->getParameter(row)) return;
  processor_->setParameter(row, value);
  if (host_) host_->parameterChanged(row);
  update();
}

void DemoView::paint(HDC dc) {
  RECT client;
  GetClientRect(window_, &client);
  fillRect(dc, client, kBackground);
  SetBkMode(dc, TRANSPARENT);

  HGDIOBJ oldFont = SelectObject(dc, titleFont_);
  drawText(dc, processor_->title(), RECT{kMargin, 0, kWidth - kMargin, kTitleHeight}, kTitleText,
           DT_LEFT);
  SelectObject(dc, font_);

  const ParameterBank& bank = processor_->parameters();
  for (std::int32_t i = 0; i < bank.count(); ++i) {
    const ParameterDefinition& definition = *bank.definition(i);
    const std::int32_t value = bank.get(i);
    shownValues_[i] = value;
    const std::int32_t top = kTitleHeight + i * kRowHeight;

    char valueText[64];
    formatValue(definition, value, valueText, sizeof valueText);
    if (definition.label && *definition.label && !definition.valueNames) {
      const std::size_t used = std::strlen(valueText);
      std::snprintf(valueText + used, sizeof valueText - used, " %s", definition.label);
    }
    const RECT textRow{kMargin, top, kWidth - kMargin, top + kBarTop - 2};
    drawText(dc, definition.name, textRow, kText, DT_LEFT);
    drawText(dc, valueText, textRow, kValueText, DT_RIGHT);

    const RECT track{kMargin, top + kBarTop, kWidth - kMargin, top + kBarTop + kBarHeight};
    fillRect(dc, track, kBarTrack);
    const double position = valueToPosition(definition, value);
    RECT fill = track;
    fill.right = track.left + static_cast<LONG>(position * (track.right - track.left) + 0.5);
    if (fill.right > fill.left) fillRect(dc, fill, kBarFill);
  }
  SelectObject(dc, oldFont);
}

LRESULT DemoView::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window_, &ps);
      RECT client;
      GetClientRect(window_, &client);
      // Draw off-screen first so dragging does not flicker.
      HDC memory = CreateCompatibleDC(dc);
      HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
      HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
      paint(memory);
      BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
      SelectObject(memory, oldBitmap);
      DeleteObject(bitmap);
      DeleteDC(memory);
      EndPaint(window_, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const std::int32_t row = rowAt(static_cast<short>(HIWORD(lParam)));
      if (row < 0) return 0;
      dragRow_ = row;
      SetCapture(window_);
      setFromMouse(row, static_cast<short>(LOWORD(lParam)));
      return 0;
    }
    case WM_MOUSEMOVE:
      if (dragRow_ >= 0 && (wParam & MK_LBUTTON)) {
        setFromMouse(dragRow_, static_cast<short>(LOWORD(lParam)));
      }
      return 0;
    case WM_LBUTTONUP:
      if (dragRow_ >= 0) {
        dragRow_ = -1;
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      dragRow_ = -1;
      return 0;
    default:
      return DefWindowProcA(window_, message, wParam, lParam);
  }
}

LRESULT CALLBACK DemoView::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* view = static_cast<DemoView*>(create->lpCreateParams);
    view->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(view));
  }
  auto* view = reinterpret_cast<DemoView*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (message == WM_NCDESTROY) {
    // The host may destroy its window, and this one with it, before close().
    if (view && view->window_ == window) view->window_ = nullptr;
    SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    return DefWindowProcA(window, message, wParam, lParam);
  }
  if (!view || view->window_ != window) return DefWindowProcA(window, message, wParam, lParam);
  return view->handle(message, wParam, lParam);
}

kel::IView* createWin32View(DemoProcessor* processor, kel::IHost* host) {
  return new (std::nothrow) DemoView(processor, host);
}

}  // namespace demo
