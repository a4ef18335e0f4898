// Copies what a window's client area shows, child windows included.
#pragma once

#include <windows.h>

#include "formats/rgb_image.h"

namespace plughost {

// False when the window has no visible client area or the copy fails.
bool captureClientArea(HWND window, RgbImage& image);

}  // namespace plughost
