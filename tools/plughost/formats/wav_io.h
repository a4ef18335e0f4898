// RIFF WAVE files: reads 16-bit and 24-bit PCM and 32-bit float (plain or
// extensible format headers) at 1000 to 1,000,000 Hz; writes 32-bit float
// (extensible format header and a fact chunk, as the format asks of every
// non-PCM file), 16-bit or 24-bit PCM (extensible beyond two channels).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "formats/audio_buffer.h"
#include "formats/byte_file.h"

namespace plughost {

enum class WavSampleFormat { kFloat32, kPcm16, kPcm24 };

// Sample rates the reader accepts; anything else is a damaged header.
constexpr std::uint32_t kMinWavRate = 1000;
constexpr std::uint32_t kMaxWavRate = 1000000;

// The size of the file encodeWav makes; RIFF sizes end at 4 GiB - 1.
std::uint64_t encodedWavSize(std::size_t frames, std::size_t channels, WavSampleFormat format);
constexpr std::uint64_t kMaxWavFileSize = 0xFFFFFFFFu;

// False with a one-line reason in `error` for anything that is not a complete,
// supported WAVE file; `audio` is then left unchanged.
bool decodeWav(const std::vector<std::uint8_t>& bytes, AudioBuffer& audio, std::string& error);
// The fields of a format chunk that reading needs.
struct WavFormatChunk {
  std::uint16_t format = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
};

// The header of a file of `frames` frames, up to the data chunk's samples.
std::vector<std::uint8_t> encodeWavHeader(int sampleRate, std::size_t channels, std::size_t frames,
                                          WavSampleFormat format);
// The header of a file whose length is not known when it starts, as a
// stream to a pipe: the RIFF and data sizes (and a float file's frame count)
// are 0xFFFFFFFF, which readers take as "up to the end of the file".
std::vector<std::uint8_t> encodeStreamedWavHeader(int sampleRate, std::size_t channels,
                                                  WavSampleFormat format);
constexpr std::uint32_t kUnknownWavSize = 0xFFFFFFFFu;
// Appends `frames` interleaved frames of `channels` sample arrays.
void appendWavSamples(std::vector<std::uint8_t>& out, const float* const* channels,
                      std::size_t channelCount, std::size_t frames, WavSampleFormat format);
// A complete file image; its size must not exceed kMaxWavFileSize. PCM output
// is rounded and clipped to the sample range; NaN becomes 0.
std::vector<std::uint8_t> encodeWav(const AudioBuffer& audio, WavSampleFormat format);

// A WAV file read block by block, so an input of any length holds one
// block in memory. The same checks as decodeWav.
class WavFileReader {
 public:
  // False with a one-line reason naming the file.
  bool open(const std::string& path, std::string& error);
  int sampleRate() const { return sampleRate_; }
  std::size_t channels() const { return channels_; }
  std::uint64_t frames() const { return frames_; }
  // Reads up to `frames` frames into one vector per channel (resized to the
  // frames read); answers how many, 0 at the end or with `error` set.
  std::size_t read(std::vector<std::vector<float>>& channels, std::size_t frames,
                   std::string& error);

 private:
  struct Closer {
    void operator()(std::FILE* file) const;
  };
  std::unique_ptr<std::FILE, Closer> file_;
  WavFormatChunk format_;
  int sampleRate_ = 0;
  std::size_t channels_ = 0;
  std::uint64_t frames_ = 0;
  std::uint64_t left_ = 0;
  std::vector<std::uint8_t> bytes_;
};

// A WAV file written block by block: the header first, for a length known
// beforehand, so the output can be a pipe; staged as StagedWriter does. On
// the standard output the header says the length is unknown: bytes already
// sent cannot be taken back if the render stops short.
class WavFileWriter {
 public:
  // False with a reason for a length beyond RIFF sizes or a file that cannot
  // be created.
  bool open(const std::string& path, int sampleRate, std::size_t channels, std::size_t frames,
            WavSampleFormat format, std::string& error);
  bool write(const float* const* channels, std::size_t frames, std::string& error);
  // False with a reason when fewer frames came than announced or the file
  // could not be completed; the target is then left as it was.
  bool commit(std::string& error);
  bool toStandardOutput() const { return file_.toStandardOutput(); }

 private:
  StagedWriter file_;
  std::size_t channels_ = 0;
  WavSampleFormat format_ = WavSampleFormat::kFloat32;
  std::size_t left_ = 0;
  bool pad_ = false;
  std::vector<std::uint8_t> bytes_;
};

bool readWavFile(const std::string& path, AudioBuffer& audio, std::string& error);
// False with a reason for a file too large for RIFF sizes or a failed write.
bool writeWavFile(const std::string& path, const AudioBuffer& audio, WavSampleFormat format,
                  std::string& error);

}  // namespace plughost
