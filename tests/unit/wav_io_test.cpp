// plughost's WAV reader and writer: exact bytes, round trips, and refusal of
// anything incomplete, impossible or unsupported; the census of rendered samples.
#include "formats/wav_io.h"

#include <cmath>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/sample_census.h"
#include "formats/byte_file.h"

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
  // Extensible format chunk and a fact chunk, as every non-PCM file needs.
  const Bytes header = {'R',  'I',  'F',  'F',  88,   0,    0,    0, 'W',  'A',
                        'V',  'E',  'f',  'm',  't',  ' ',  40,   0, 0,    0,
                        0xFE, 0xFF, 2,    0,    0x80, 0xBB, 0,    0,  // 48000 Hz
                        0x00, 0xDC, 0x05, 0,                          // 384000 bytes per second
                        8,    0,    32,   0,    22,   0,    32,   0,  // extension size, valid bits
                        3,    0,    0,    0,                          // front left and right
                        3,    0,    0,    0,    0,    0,    0x10, 0, 0x80, 0,
                        0,    0xAA, 0,    0x38, 0x9B, 0x71,  // IEEE float sub-format
                        'f',  'a',  'c',  't',  4,    0,    0,    0, 2,    0,
                        0,    0,    'd',  'a',  't',  'a',  16,   0, 0,    0};
  ASSERT_EQ(96u, bytes.size());
  EXPECT_EQ(header, Bytes(bytes.begin(), bytes.begin() + 80));
  // Interleaved frames: L0 R0 L1 R1, IEEE floats little-endian; 2.0 is kept.
  const Bytes samples = {0, 0, 0, 0x3F, 0, 0, 0x80, 0x3E, 0, 0, 0x80, 0xBF, 0, 0, 0, 0x40};
  EXPECT_EQ(samples, Bytes(bytes.begin() + 80, bytes.end()));
  EXPECT_EQ(bytes.size(), plughost::encodedWavSize(2, 2, WavSampleFormat::kFloat32));
}

TEST(WavWrite, Pcm24RoundsClipsSilencesNanAndPadsTheDataChunk) {
  AudioBuffer mono;
  mono.sampleRate = 44100;
  mono.channels = {{0.5f, -1.0f, 1.0f, -2.0f, std::nanf(""), -INFINITY, 1.0f / 16777216.0f}};
  const Bytes bytes = encodeWav(mono, WavSampleFormat::kPcm24);
  ASSERT_EQ(44u + 22u, bytes.size());  // 21 data bytes and a pad byte
  EXPECT_EQ(16, bytes[16]);            // plain format chunk
  EXPECT_EQ(1, bytes[20]);             // PCM
  EXPECT_EQ(3, bytes[32]);             // block align
  EXPECT_EQ(24, bytes[34]);            // bits
  EXPECT_EQ(21, bytes[40]);            // data size
  EXPECT_EQ(58, bytes[4]);             // RIFF size counts the pad byte
  const Bytes samples = {0x00, 0x00, 0x40, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x00, 0x00,
                         0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x01, 0x00, 0x00, 0x00};
  EXPECT_EQ(samples, Bytes(bytes.begin() + 44, bytes.end()));
  EXPECT_EQ(bytes.size(), plughost::encodedWavSize(7, 1, WavSampleFormat::kPcm24));

  AudioBuffer out;
  std::string error;
  ASSERT_TRUE(decodeWav(bytes, out, error)) << error;
  EXPECT_EQ(0.5f, out.channels[0][0]);
  EXPECT_EQ(0.0f, out.channels[0][4]);
}

TEST(WavWrite, PcmBeyondTwoChannelsUsesTheExtensibleHeader) {
  AudioBuffer six;
  six.channels.assign(6, std::vector<float>{0.25f});
  const Bytes bytes = encodeWav(six, WavSampleFormat::kPcm16);
  EXPECT_EQ(40, bytes[16]);
  EXPECT_EQ((Bytes{0xFE, 0xFF}), Bytes(bytes.begin() + 20, bytes.begin() + 22));
  EXPECT_EQ(0x3F, bytes[40]);  // six speaker positions
  EXPECT_EQ(1, bytes[44]);     // PCM sub-format
  AudioBuffer out;
  std::string error;
  ASSERT_TRUE(decodeWav(bytes, out, error)) << error;
  EXPECT_EQ(six.channels, out.channels);
  // A file beyond 4 GiB is refused before a byte is written.
  EXPECT_LE(plughost::encodedWavSize(178956967, 6, WavSampleFormat::kFloat32),
            plughost::kMaxWavFileSize);
  EXPECT_GT(plughost::encodedWavSize(178956968, 6, WavSampleFormat::kFloat32),
            plughost::kMaxWavFileSize);
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

TEST(WavRead, ImpossibleRatesAreRefused) {
  AudioBuffer a;
  std::string error;
  const Bytes sample = {0, 0};
  for (std::uint32_t rate : {1000u, 1000000u}) {
    EXPECT_TRUE(decodeWav(riff({{"fmt ", fmtChunk(1, 1, rate, 16)}, {"data", sample}}), a, error))
        << rate << error;
  }
  const struct {
    std::uint32_t rate;
    const char* message;
  } cases[] = {{0, "WAV sample rate 0 Hz is outside 1000..1000000 Hz"},
               {1, "WAV sample rate 1 Hz is outside 1000..1000000 Hz"},
               {999, "WAV sample rate 999 Hz is outside 1000..1000000 Hz"},
               {1000001, "WAV sample rate 1000001 Hz is outside 1000..1000000 Hz"},
               {4000000000u, "WAV sample rate 4000000000 Hz is outside 1000..1000000 Hz"}};
  for (const auto& c : cases) {
    EXPECT_FALSE(
        decodeWav(riff({{"fmt ", fmtChunk(1, 1, c.rate, 16)}, {"data", sample}}), a, error));
    EXPECT_EQ(c.message, error);
  }
}

TEST(SampleCensus, CountsSamplesBeyondFullScaleAndNonFiniteOnes) {
  const plughost::SampleCensus census = plughost::takeCensus(stereo(
      {0.5f, -1.0f, 1.0f, 1.0001f, std::nanf("")}, {-3.0f, INFINITY, -INFINITY, 0.0f, 0.0f}));
  EXPECT_EQ(3.0f, census.peak);
  EXPECT_EQ(2u, census.beyondFullScale);
  EXPECT_EQ(3u, census.nonFinite);
}

TEST(WavFile, MissingFileNamesThePath) {
  AudioBuffer a;
  std::string error;
  EXPECT_FALSE(plughost::readWavFile("no/such/file.wav", a, error));
  EXPECT_NE(std::string::npos, error.find("no/such/file.wav")) << error;
}

}  // namespace

namespace {

// A folder of its own under the system's temporary folder, gone afterwards.
class WavStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        std::filesystem::temp_directory_path() /
        ("wav_stream_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::filesystem::path folder;
};

// Block by block, in uneven blocks, the writer makes the bytes encodeWav
// makes, and the reader gives back what decodeWav gives.
TEST_F(WavStreamTest, StreamedFilesEqualWholeOnes) {
  const struct {
    WavSampleFormat format;
    std::size_t channels;
    std::size_t frames;
  } cases[] = {{WavSampleFormat::kFloat32, 2, 1000},
               {WavSampleFormat::kPcm16, 1, 777},
               {WavSampleFormat::kPcm24, 3, 501},  // odd data size: a pad byte
               {WavSampleFormat::kPcm24, 1, 1}};
  for (const auto& c : cases) {
    AudioBuffer audio;
    audio.sampleRate = 22050;
    audio.resize(c.channels, c.frames);
    for (std::size_t ch = 0; ch < c.channels; ++ch) {
      for (std::size_t f = 0; f < c.frames; ++f) {
        audio.channels[ch][f] = static_cast<float>(std::sin(0.01 * f * (ch + 1)));
      }
    }
    const std::string path = (folder / "streamed.wav").string();
    std::string error;
    plughost::WavFileWriter writer;
    ASSERT_TRUE(writer.open(path, 22050, c.channels, c.frames, c.format, error)) << error;
    for (std::size_t start = 0, block = 1; start < c.frames;
         start += block, block = block * 3 + 1) {
      const std::size_t n = std::min(block, c.frames - start);
      std::vector<const float*> pointers;
      for (const auto& channel : audio.channels) pointers.push_back(channel.data() + start);
      ASSERT_TRUE(writer.write(pointers.data(), n, error)) << error;
    }
    ASSERT_TRUE(writer.commit(error)) << error;
    Bytes written;
    ASSERT_TRUE(plughost::readFileBytes(path, written, error)) << error;
    const Bytes whole = encodeWav(audio, c.format);
    EXPECT_TRUE(whole == written) << c.channels << " channels, " << c.frames << " frames";

    AudioBuffer decoded;
    ASSERT_TRUE(decodeWav(whole, decoded, error)) << error;
    plughost::WavFileReader reader;
    ASSERT_TRUE(reader.open(path, error)) << error;
    EXPECT_EQ(22050, reader.sampleRate());
    ASSERT_EQ(c.channels, reader.channels());
    ASSERT_EQ(c.frames, reader.frames());
    std::vector<std::vector<float>> block;
    std::size_t at = 0;
    while (std::size_t got = reader.read(block, 100, error)) {
      for (std::size_t ch = 0; ch < c.channels; ++ch) {
        for (std::size_t f = 0; f < got; ++f) {
          ASSERT_EQ(decoded.channels[ch][at + f], block[ch][f]) << at + f;
        }
      }
      at += got;
    }
    EXPECT_EQ(c.frames, at);
    EXPECT_EQ("", error);
  }
}

// A writer that gets fewer frames than it announced leaves no file; a file
// whose data chunk runs past its end is refused before any frame plays.
TEST_F(WavStreamTest, ShortWritesAndCutFilesAreRefused) {
  const std::string path = (folder / "short.wav").string();
  std::string error;
  {
    plughost::WavFileWriter writer;
    ASSERT_TRUE(writer.open(path, 8000, 1, 10, WavSampleFormat::kFloat32, error)) << error;
    const float samples[5] = {};
    const float* pointers[1] = {samples};
    ASSERT_TRUE(writer.write(pointers, 5, error)) << error;
    EXPECT_FALSE(writer.commit(error));
    EXPECT_EQ("the WAV output is missing 5 frames", error);
  }
  EXPECT_TRUE(std::filesystem::is_empty(folder));

  const AudioBuffer audio = stereo({0.1f, 0.2f, 0.3f}, {0.4f, 0.5f, 0.6f});
  Bytes cut = encodeWav(audio, WavSampleFormat::kPcm16);
  cut.pop_back();
  ASSERT_TRUE(plughost::writeFileBytes(path, cut, error)) << error;
  plughost::WavFileReader reader;
  EXPECT_FALSE(reader.open(path, error));
  EXPECT_EQ("'" + path + "': WAV file is truncated", error);
}

}  // namespace

namespace {

// A stream whose length was unknown when it began: its header differs from a
// whole file's only in the sizes, each 0xFFFFFFFF, and both readers take
// its data as running to the end, whole frames only (a stream cut short
// mid-frame loses that frame).
TEST_F(WavStreamTest, AStreamOfUnknownLengthReadsToItsEnd) {
  for (const WavSampleFormat format :
       {WavSampleFormat::kFloat32, WavSampleFormat::kPcm16, WavSampleFormat::kPcm24}) {
    const AudioBuffer audio = stereo({0.5f, -0.25f, 0.125f}, {-0.5f, 0.25f, 0.0f}, 44100);
    const Bytes whole = encodeWav(audio, format);
    Bytes streamed = plughost::encodeStreamedWavHeader(44100, 2, format);
    const Bytes known = plughost::encodeWavHeader(44100, 2, 3, format);
    ASSERT_EQ(known.size(), streamed.size());
    std::vector<std::size_t> unknown = {4, known.size() - 4};
    if (format == WavSampleFormat::kFloat32) unknown.push_back(known.size() - 12);
    for (std::size_t i = 0; i < known.size(); ++i) {
      const bool size = std::any_of(unknown.begin(), unknown.end(),
                                    [i](std::size_t at) { return i >= at && i < at + 4; });
      EXPECT_EQ(size ? 0xFF : known[i], streamed[i]) << "byte " << i;
    }
    streamed.insert(streamed.end(), whole.begin() + known.size(), whole.end());
    // Two whole frames and one byte of the third.
    const std::size_t width = format == WavSampleFormat::kFloat32 ? 4
                              : format == WavSampleFormat::kPcm24 ? 3
                                                                  : 2;
    const Bytes cut(streamed.begin(),
                    streamed.begin() + static_cast<std::ptrdiff_t>(known.size() + 4 * width + 1));
    for (const Bytes* file : std::vector<const Bytes*>{&streamed, &cut}) {
      const std::size_t frames = file == &streamed ? 3 : 2;
      AudioBuffer decoded;
      std::string error;
      ASSERT_TRUE(decodeWav(*file, decoded, error)) << error;
      ASSERT_EQ(frames, decoded.frames());
      const std::string path = (folder / "stream.wav").string();
      ASSERT_TRUE(plughost::writeFileBytes(path, *file, error)) << error;
      plughost::WavFileReader reader;
      ASSERT_TRUE(reader.open(path, error)) << error;
      ASSERT_EQ(frames, reader.frames());
      std::vector<std::vector<float>> block;
      ASSERT_EQ(frames, reader.read(block, 10, error)) << error;
      for (std::size_t f = 0; f < frames; ++f) {
        EXPECT_EQ(audio.channels[0][f], block[0][f]);
        EXPECT_EQ(audio.channels[1][f], block[1][f]);
        EXPECT_EQ(audio.channels[1][f], decoded.channels[1][f]);
      }
    }
  }
}

}  // namespace
