// RIFF WAVE files: reads 16-bit and 24-bit PCM and 32-bit float (plain or
// extensible format headers) at 1000 to 1,000,000 Hz; writes 32-bit float
// (extensible format header and a fact chunk, as the format asks of every
// non-PCM file), 16-bit or 24-bit PCM (extensible beyond two channels).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/audio_buffer.h"

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
// A complete file image; its size must not exceed kMaxWavFileSize. PCM output
// is rounded and clipped to the sample range; NaN becomes 0.
std::vector<std::uint8_t> encodeWav(const AudioBuffer& audio, WavSampleFormat format);

bool readWavFile(const std::string& path, AudioBuffer& audio, std::string& error);
// False with a reason for a file too large for RIFF sizes or a failed write.
bool writeWavFile(const std::string& path, const AudioBuffer& audio, WavSampleFormat format,
                  std::string& error);

}  // namespace plughost
