#include "hosting/window_capture.h"

namespace plughost {
namespace {

// True when every pixel is black: the screen copy saw nothing drawn.
bool allBlack(const std::uint8_t* bgra, std::size_t pixels) {
  for (std::size_t i = 0; i < pixels; ++i) {
    if (bgra[4 * i] || bgra[4 * i + 1] || bgra[4 * i + 2]) return false;
  }
  return true;
}

}  // namespace

bool captureClientArea(HWND window, RgbImage& image) {
  RECT client;
  if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return false;
  const int width = client.right;
  const int height = client.bottom;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  HDC windowDc = GetDC(window);
  HDC memoryDc = CreateCompatibleDC(windowDc);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap && memoryDc;
  if (ok) {
    HGDIOBJ old = SelectObject(memoryDc, bitmap);
    // The window's own pixels first; if they come back empty (nothing on a
    // screen to copy from), ask the window and its children to paint into
    // the bitmap instead.
    ok = BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY | CAPTUREBLT);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (!ok || allBlack(static_cast<std::uint8_t*>(bits), pixels)) {
      constexpr UINT kClientOnly = 1;  // PW_CLIENTONLY
      ok = PrintWindow(window, memoryDc, kClientOnly);
    }
    GdiFlush();
    if (ok) {
      image =
          rgbImageFromBgra(static_cast<const std::uint8_t*>(bits),
                           static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    }
    SelectObject(memoryDc, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memoryDc) DeleteDC(memoryDc);
  ReleaseDC(window, windowDc);
  return ok;
}

}  // namespace plughost
