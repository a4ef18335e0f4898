#include "hosting/window_capture.h"

#include "platform/platform.h"

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

  const platform::WindowDc windowDc(window);
  platform::MemoryDc memoryDc(windowDc.get());
  void* bits = nullptr;
  // Declared after the memory DC, so it is deleted once the DC gave it back.
  const platform::GdiObject bitmap(
      CreateDIBSection(static_cast<HDC>(windowDc.get()), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const HDC memory = static_cast<HDC>(memoryDc.get());
  bool ok = bitmap.get() && memory && windowDc.get();
  if (ok) {
    memoryDc.select(bitmap.get());
    // The window's own pixels first; if they come back empty (nothing on a
    // screen to copy from), ask the window and its children to paint into
    // the bitmap instead.
    ok = BitBlt(memory, 0, 0, width, height, static_cast<HDC>(windowDc.get()), 0, 0,
                SRCCOPY | CAPTUREBLT);
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (!ok || allBlack(static_cast<std::uint8_t*>(bits), pixels)) {
      constexpr UINT kClientOnly = 1;  // PW_CLIENTONLY
      ok = PrintWindow(window, memory, kClientOnly);
    }
    GdiFlush();
    if (ok) {
      image =
          rgbImageFromBgra(static_cast<const std::uint8_t*>(bits),
                           static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    }
  }
  return ok;
}

}  // namespace plughost
