// A picture as the PNG writer takes it, and the conversion from the 32-bit
// BGRA rows a top-down GDI DIB section holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace plughost {

struct RgbImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;  // top row first, 3 bytes per pixel
};

// `bgra` holds width * height pixels of 4 bytes (blue, green, red, unused).
inline RgbImage rgbImageFromBgra(const std::uint8_t* bgra, std::uint32_t width,
                                 std::uint32_t height) {
  RgbImage image;
  image.width = width;
  image.height = height;
  const std::size_t pixels = static_cast<std::size_t>(width) * height;
  image.rgb.resize(pixels * 3);
  for (std::size_t i = 0; i < pixels; ++i) {
    image.rgb[3 * i] = bgra[4 * i + 2];
    image.rgb[3 * i + 1] = bgra[4 * i + 1];
    image.rgb[3 * i + 2] = bgra[4 * i];
  }
  return image;
}

}  // namespace plughost
