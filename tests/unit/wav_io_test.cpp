// plughost's WAV reader and writer: exact bytes, round trips, and refusal of
// anything incomplete or unsupported.
#include "wav_io.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using plughost::AudioBuffer;
using plughost::decodeWav;
using plughost::encodeWav;
using plughost::WavSampleFormat;
using Bytes = std::vector<std::uint8_t>;

AudioBuffer stereo(std::vector<float> left, std::vector<float> right, int rate = 48000) {
  AudioBuffer a;
  a.sampleRate = rate;
  a.channels = {std::move(left), std::move(right)};
  return a;
}

void putLe32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A hand-made file: RIFF header, the given chunks, nothing else.
Bytes riff(const std::vector<std::pair<std::string, Bytes>>& chunks) {
  Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& [id, body] : chunks) {
    out.insert(out.end(), id.begin(), id.end());
    const std::size_t at = out.size();
    out.resize(out.size() + 4);
    putLe32(out, at, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
  }
  putLe32(out, 4, static_cast<std::uint32_t>(out.size() - 8));
  return out;
}

Bytes fmtChunk(std::uint16_t format, std::uint16_t channels, std::uint32_t rate,
               std::uint16_t bits) {
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  Bytes b(16);
  b[0] = format & 0xFF, b[1] = format >> 8;
  b[2] = static_cast<std::uint8_t>(channels);
  putLe32(b, 4, rate);
  putLe32(b, 8, rate * align);
  b[12] = static_cast<std::uint8_t>(align);
  b[14] = static_cast<std::uint8_t>(bits);
  return b;
}

TEST(WavWrite, Float32HeaderAndSamplesAreExact) {
  const Bytes bytes = encodeWav(stereo({0.5f, -1.0f}, {0.25f, 2.0f}), WavSampleFormat::kFloat32);
  const Bytes header = {'R',  'I',  'F',  'F', 52,  0,   0,   0,   'W', 'A', 'V', 'E',
                        'f',  'm',  't',  ' ', 16,  0,   0,   0,   3,   0,   2,   0,
                        0x80, 0xBB, 0,    0,  // 48000 Hz
                        0x00, 0xDC, 0x05, 0,  // 384000 bytes per second
                        8,    0,    32,   0,   'd', 'a', 't', 'a', 16,  0,   0,   0};
  ASSERT_EQ(60u, bytes.size());
  EXPECT_EQ(header, Bytes(bytes.begin(), bytes.begin() + 44));
  // Interleaved frames: L0 R0 L1 R1, IEEE floats little-endian; 2.0 is kept.
  const Bytes samples = {0, 0, 0, 0x3F, 0, 0, 0x80, 0x3E, 0, 0, 0x80, 0xBF, 0, 0, 0, 0x40};
  EXPECT_EQ(samples, Bytes(bytes.begin() + 44, bytes.end()));
}

TEST(WavWrite, Pcm16RoundsAndClips) {
  AudioBuffer mono;
  mono.sampleRate = 44100;
  mono.channels = {{0.5f, -1.0f, 1.0f, -2.0f, 1.0f / 65536.0f, -0.25f}};
  const Bytes bytes = encodeWav(mono, WavSampleFormat::kPcm16);
  ASSERT_EQ(44u + 12u, bytes.size());
  EXPECT_EQ(1, bytes[20]);   // PCM
  EXPECT_EQ(16, bytes[34]);  // bits
  const Bytes samples = {0x00, 0x40, 0x00, 0x80, 0xFF, 0x7F, 0x00, 0x80, 0x01, 0x00, 0x00, 0xE0};
  EXPECT_EQ(samples, Bytes(bytes.begin() + 44, bytes.end()));
}

TEST(WavRoundTrip, Float32IsBitExactAndPcm16KeepsItsGrid) {
  AudioBuffer in = stereo({0.1f, -0.7f, 0.333f}, {1e-9f, 1.5f, -0.0f}, 96000);
  AudioBuffer out;
  std::string error;
  ASSERT_TRUE(decodeWav(encodeWav(in, WavSampleFormat::kFloat32), out, error)) << error;
  EXPECT_EQ(96000, out.sampleRate);
  EXPECT_EQ(in.channels, out.channels);

  AudioBuffer grid = stereo({-1.0f, 12345 / 32768.0f}, {-321 / 32768.0f, 32767 / 32768.0f});
  ASSERT_TRUE(decodeWav(encodeWav(grid, WavSampleFormat::kPcm16), out, error)) << error;
  EXPECT_EQ(grid.channels, out.channels);
}

TEST(WavRead, Reads24BitAndExtensibleAndSkipsOtherChunks) {
  // 24-bit mono: -1.0 and 0.5, after a LIST chunk of odd size (padded).
  AudioBuffer a;
  std::string error;
  ASSERT_TRUE(decodeWav(riff({{"LIST", {1, 2, 3}},
                              {"fmt ", fmtChunk(1, 1, 22050, 24)},
                              {"data", {0x00, 0x00, 0x80, 0x00, 0x00, 0x40}}}),
                        a, error))
      << error;
  EXPECT_EQ(22050, a.sampleRate);
  EXPECT_EQ((std::vector<std::vector<float>>{{-1.0f, 0.5f}}), a.channels);

  // Extensible header whose sub-format is IEEE float.
  Bytes ext = fmtChunk(0xFFFE, 1, 8000, 32);
  ext.resize(40);
  ext[16] = 22;  // extension size
  ext[24] = 3;   // sub-format code
  const Bytes quarter = {0, 0, 0x80, 0x3E};
  ASSERT_TRUE(decodeWav(riff({{"fmt ", ext}, {"data", quarter}}), a, error)) << error;
  EXPECT_EQ((std::vector<std::vector<float>>{{0.25f}}), a.channels);
}

TEST(WavRead, EveryTruncationIsRefused) {
  const Bytes good = encodeWav(stereo({0.5f, 0.25f}, {0.1f, 0.2f}), WavSampleFormat::kPcm16);
  AudioBuffer untouched = stereo({9.0f}, {9.0f});
  for (std::size_t size = 0; size < good.size(); ++size) {
    AudioBuffer a = untouched;
    std::string error;
    EXPECT_FALSE(decodeWav(Bytes(good.begin(), good.begin() + size), a, error)) << size;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(untouched.channels, a.channels);
  }
  Bytes longData = good;
  putLe32(longData, 40, 1000);  // data chunk claims more than the file holds
  AudioBuffer a;
  std::string error;
  EXPECT_FALSE(decodeWav(longData, a, error));
  EXPECT_EQ("WAV file is truncated", error);
}

TEST(WavRead, GarbageAndUnsupportedFormatsAreRefused) {
  AudioBuffer a;
  std::string error;
  EXPECT_FALSE(decodeWav(Bytes(100, 0x5A), a, error));
  EXPECT_EQ("not a RIFF WAVE file", error);
  EXPECT_FALSE(decodeWav(riff({{"fmt ", fmtChunk(1, 2, 44100, 8)}, {"data", {1, 2}}}), a, error));
  EXPECT_NE(std::string::npos, error.find("unsupported WAV sample format")) << error;
  EXPECT_FALSE(decodeWav(riff({{"fmt ", fmtChunk(1, 0, 44100, 16)}, {"data", {}}}), a, error));
  Bytes badAlign = fmtChunk(1, 2, 44100, 16);
  badAlign[12] = 3;
  EXPECT_FALSE(decodeWav(riff({{"fmt ", badAlign}, {"data", {}}}), a, error));
  EXPECT_FALSE(decodeWav(riff({{"data", {0, 0}}, {"fmt ", fmtChunk(1, 1, 8000, 16)}}), a, error));
  EXPECT_FALSE(decodeWav(riff({{"fmt ", fmtChunk(1, 1, 8000, 16)}}), a, error));
  EXPECT_EQ("WAV file has no data chunk", error);
}

TEST(WavFile, MissingFileNamesThePath) {
  AudioBuffer a;
  std::string error;
  EXPECT_FALSE(plughost::readWavFile("no/such/file.wav", a, error));
  EXPECT_NE(std::string::npos, error.find("no/such/file.wav")) << error;
}

}  // namespace
