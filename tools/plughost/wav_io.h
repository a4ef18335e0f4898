// RIFF WAVE files: reads 16-bit and 24-bit PCM and 32-bit float (plain or
// extensible format headers); writes 32-bit float or 16-bit PCM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "audio_buffer.h"

namespace plughost {

enum class WavSampleFormat { kFloat32, kPcm16 };

// False with a one-line reason in `error` for anything that is not a complete,
// supported WAVE file; `audio` is then left unchanged.
bool decodeWav(const std::vector<std::uint8_t>& bytes, AudioBuffer& audio, std::string& error);
// A complete file image. 16-bit output is rounded and clipped to the sample range.
std::vector<std::uint8_t> encodeWav(const AudioBuffer& audio, WavSampleFormat format);

bool readWavFile(const std::string& path, AudioBuffer& audio, std::string& error);
bool writeWavFile(const std::string& path, const AudioBuffer& audio, WavSampleFormat format,
                  std::string& error);

}  // namespace plughost
