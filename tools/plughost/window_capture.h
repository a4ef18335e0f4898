// Copies what a window's client area shows, child windows included.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace plughost {

struct CapturedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;  // top row first, 3 bytes per pixel
};

// False when the window has no visible client area or the copy fails.
bool captureClientArea(HWND window, CapturedImage& image);

}  // namespace plughost
