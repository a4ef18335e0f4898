#include "formats/png_writer.h"

#include <algorithm>
#include <array>

#include "formats/byte_file.h"
#include "formats/byte_order.h"

namespace plughost {
namespace {

constexpr std::size_t kMaxStoredBlock = 65535;

const std::array<std::uint32_t, 256>& crcTable() {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void appendChunk(std::vector<std::uint8_t>& out, const char (&type)[5],
                 const std::vector<std::uint8_t>& data) {
  appendBe32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeStart = out.size();
  appendTag(out, type);
  out.insert(out.end(), data.begin(), data.end());
  appendBe32(out, crc32(out.data() + typeStart, out.size() - typeStart));
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t previous) {
  const auto& table = crcTable();
  std::uint32_t c = previous ^ 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint32_t kModulus = 65521;
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % kModulus;
    b = (b + a) % kModulus;
  }
  return (b << 16) | a;
}

std::vector<std::uint8_t> zlibStored(const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() + data.size() / kMaxStoredBlock * 5 + 16);
  out.push_back(0x78);  // deflate, 32 KiB window
  out.push_back(0x01);  // no dictionary, fastest; 0x7801 is a multiple of 31
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(kMaxStoredBlock, data.size() - offset);
    const bool last = offset + length == data.size();
    out.push_back(last ? 0x01 : 0x00);  // BFINAL, BTYPE 00 (stored)
    appendLe16(out, static_cast<std::uint16_t>(length));
    appendLe16(out, static_cast<std::uint16_t>(~length));
    out.insert(out.end(), data.begin() + offset, data.begin() + offset + length);
    offset += length;
  } while (offset < data.size());
  appendBe32(out, adler32(data.data(), data.size()));
  return out;
}

std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height,
                                    const std::vector<std::uint8_t>& rgb) {
  if (rgb.size() < static_cast<std::size_t>(width) * height * 3) return {};
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> out(kSignature, kSignature + 8);

  std::vector<std::uint8_t> header;
  appendBe32(header, width);
  appendBe32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter, no interlace
  appendChunk(out, "IHDR", header);

  const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
  std::vector<std::uint8_t> scanlines;
  scanlines.reserve((rowBytes + 1) * height);
  for (std::uint32_t y = 0; y < height; ++y) {
    scanlines.push_back(0);  // filter type None
    const auto row = rgb.begin() + static_cast<std::ptrdiff_t>(y * rowBytes);
    scanlines.insert(scanlines.end(), row, row + static_cast<std::ptrdiff_t>(rowBytes));
  }
  appendChunk(out, "IDAT", zlibStored(scanlines));
  appendChunk(out, "IEND", {});
  return out;
}

bool writePngFile(const std::string& path, std::uint32_t width, std::uint32_t height,
                  const std::vector<std::uint8_t>& rgb, std::string& error) {
  const std::vector<std::uint8_t> png = encodePng(width, height, rgb);
  if (png.empty()) {
    error = "image data is smaller than the image";
    return false;
  }
  return writeFileBytes(path, png, error);
}

}  // namespace plughost
