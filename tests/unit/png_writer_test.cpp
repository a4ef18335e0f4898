// plughost's hand-written PNG encoder: checksums against published values,
// stored deflate blocks that decode back to the pixels, exact chunk layout.
#include "formats/png_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

Bytes text(const char* s) {
  return Bytes(s, s + std::strlen(s));
}

// Undoes zlibStored, checking every block header and the trailer on the way.
Bytes inflateStored(const Bytes& z) {
  EXPECT_EQ(0x78, z[0]);
  EXPECT_EQ(0, ((z[0] << 8) | z[1]) % 31);  // zlib header check
  Bytes data;
  std::size_t at = 2;
  for (bool last = false; !last;) {
    last = z.at(at) & 1;
    EXPECT_EQ(0, z[at] & 6);  // stored block
    const std::size_t length = z.at(at + 1) | (z.at(at + 2) << 8);
    const std::size_t inverse = z.at(at + 3) | (z.at(at + 4) << 8);
    EXPECT_EQ(0xFFFFu, length ^ inverse);
    data.insert(data.end(), z.begin() + at + 5, z.begin() + at + 5 + length);
    at += 5 + length;
  }
  EXPECT_EQ(z.size(), at + 4);
  EXPECT_EQ(plughost::adler32(data.data(), data.size()), be32(z, at));
  return data;
}

TEST(PngChecksums, MatchPublishedValues) {
  const Bytes check = text("123456789");
  EXPECT_EQ(0xCBF43926u, plughost::crc32(check.data(), check.size()));
  const Bytes iend = text("IEND");
  EXPECT_EQ(0xAE426082u, plughost::crc32(iend.data(), iend.size()));
  const Bytes wiki = text("Wikipedia");
  EXPECT_EQ(0x11E60398u, plughost::adler32(wiki.data(), wiki.size()));
  EXPECT_EQ(1u, plughost::adler32(nullptr, 0));
  // Large input exercises the modulus of both sums.
  const Bytes ones(100000, 0xFF);
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : ones) a = (a + v) % 65521, b = (b + a) % 65521;
  EXPECT_EQ((b << 16) | a, plughost::adler32(ones.data(), ones.size()));
}

TEST(PngZlib, StoredBlocksSplitAt65535AndDecodeBack) {
  Bytes data(70000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes z = plughost::zlibStored(data);
  EXPECT_EQ(2 + 5 + 65535 + 5 + 4465 + 4, z.size());
  EXPECT_EQ(0, z[2]);              // first block is not the last
  EXPECT_EQ(1, z[2 + 5 + 65535]);  // second block is
  EXPECT_EQ(data, inflateStored(z));
  EXPECT_EQ(Bytes(), inflateStored(plughost::zlibStored({})));
}

TEST(PngImage, ChunksAreExactAndPixelsRoundTrip) {
  // Two pixels wide, two rows: red, green / blue, white.
  const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
  const Bytes png = plughost::encodePng(2, 2, rgb);
  const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  ASSERT_GT(png.size(), 8u + 25u + 12u + 12u);
  EXPECT_EQ(signature, Bytes(png.begin(), png.begin() + 8));

  const Bytes ihdr = {0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 2, 0, 0, 0, 2, 8, 2, 0, 0, 0};
  EXPECT_EQ(ihdr, Bytes(png.begin() + 8, png.begin() + 29));
  EXPECT_EQ(plughost::crc32(png.data() + 12, 17), be32(png, 29));

  const std::size_t idat = 33;
  const std::uint32_t idatLength = be32(png, idat);
  EXPECT_EQ(text("IDAT"), Bytes(png.begin() + idat + 4, png.begin() + idat + 8));
  const Bytes z(png.begin() + idat + 8, png.begin() + idat + 8 + idatLength);
  EXPECT_EQ(plughost::crc32(png.data() + idat + 4, idatLength + 4),
            be32(png, idat + 8 + idatLength));
  const Bytes rows = {0, 255, 0, 0, 0, 255, 0, 0, 0, 0, 255, 255, 255, 255};
  EXPECT_EQ(rows, inflateStored(z));

  const Bytes iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  EXPECT_EQ(iend, Bytes(png.end() - 12, png.end()));
  EXPECT_EQ(idat + 12 + idatLength + 12, png.size());
}

TEST(PngImage, TooFewPixelBytesGiveNoImage) {
  EXPECT_TRUE(plughost::encodePng(2, 2, Bytes(11)).empty());
  std::string error;
  EXPECT_FALSE(plughost::writePngFile(::testing::TempDir() + "plughost_png_never.png", 2, 2,
                                      Bytes(11), error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
