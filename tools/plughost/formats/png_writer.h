// A minimal PNG encoder for screenshots: 8-bit RGB, no filtering, and a zlib
// stream of uncompressed ("stored") deflate blocks, so it needs no
// compression library. Files are larger than usual but valid everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// CRC-32 as PNG chunks use it (reflected polynomial 0xEDB88320).
std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t previous = 0);
// Adler-32 as the zlib stream trailer uses it.
std::uint32_t adler32(const std::uint8_t* data, std::size_t size);
// A zlib stream of stored blocks (at most 65535 bytes each) holding `data`.
std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& data);

// `rgb` holds height rows of width pixels, 3 bytes each, top row first;
// empty result when it holds fewer bytes than that.
std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height,
                                    const std::vector<std::uint8_t>& rgb);
bool writePngFile(const std::string& path, std::uint32_t width, std::uint32_t height,
                  const std::vector<std::uint8_t>& rgb, std::string& error);

}  // namespace plughost
