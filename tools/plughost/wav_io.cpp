#include "wav_io.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "byte_file.h"
#include "byte_order.h"

namespace plughost {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kMaxChannels = 64;

struct FormatChunk {
  std::uint16_t format = 0;
  std::uint16_t channels = 0;
  std::uint32_t sampleRate = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
};

bool parseFormat(const std::uint8_t* p, std::uint32_t size, FormatChunk& fmt, std::string& error) {
  if (size < 16) {
    error = "WAV format chunk is too short";
    return false;
  }
  fmt.format = readLe16(p);
  fmt.channels = readLe16(p + 2);
  fmt.sampleRate = readLe32(p + 4);
  fmt.blockAlign = readLe16(p + 12);
  fmt.bitsPerSample = readLe16(p + 14);
  if (fmt.format == kFormatExtensible) {
    // The real format code is the first two bytes of the sub-format GUID.
    if (size < 40) {
      error = "WAV extensible format chunk is too short";
      return false;
    }
    fmt.format = readLe16(p + 24);
  }
  const bool pcm = fmt.format == kFormatPcm && (fmt.bitsPerSample == 16 || fmt.bitsPerSample == 24);
  const bool flt = fmt.format == kFormatFloat && fmt.bitsPerSample == 32;
  if (!pcm && !flt) {
    error = "unsupported WAV sample format (format " + std::to_string(fmt.format) + ", " +
            std::to_string(fmt.bitsPerSample) + " bits); use 16/24-bit PCM or 32-bit float";
    return false;
  }
  if (fmt.channels == 0 || fmt.channels > kMaxChannels || fmt.sampleRate == 0 ||
      fmt.blockAlign != fmt.channels * (fmt.bitsPerSample / 8)) {
    error = "WAV format chunk is inconsistent";
    return false;
  }
  return true;
}

float decodeSample(const std::uint8_t* p, const FormatChunk& fmt) {
  if (fmt.format == kFormatFloat) {
    const std::uint32_t bits = readLe32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  if (fmt.bitsPerSample == 16) {
    return static_cast<std::int16_t>(readLe16(p)) / 32768.0f;
  }
  const std::int32_t value24 = static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 8) |
                                                         (static_cast<std::uint32_t>(p[1]) << 16) |
                                                         (static_cast<std::uint32_t>(p[2]) << 24));
  return static_cast<float>(value24 / 256) / 8388608.0f;
}

}  // namespace

bool decodeWav(const std::vector<std::uint8_t>& bytes, AudioBuffer& audio, std::string& error) {
  if (bytes.size() < 12 || !hasTag(bytes.data(), "RIFF") || !hasTag(bytes.data() + 8, "WAVE")) {
    error = "not a RIFF WAVE file";
    return false;
  }
  FormatChunk fmt;
  bool haveFormat = false;
  std::size_t offset = 12;
  while (offset + 8 <= bytes.size()) {
    const std::uint8_t* header = bytes.data() + offset;
    const std::uint32_t size = readLe32(header + 4);
    const std::size_t body = offset + 8;
    if (size > bytes.size() - body) {
      error = "WAV file is truncated";
      return false;
    }
    if (hasTag(header, "fmt ")) {
      if (!parseFormat(bytes.data() + body, size, fmt, error)) return false;
      haveFormat = true;
    } else if (hasTag(header, "data")) {
      if (!haveFormat) {
        error = "WAV data chunk comes before the format chunk";
        return false;
      }
      const std::size_t frames = size / fmt.blockAlign;
      const std::size_t width = fmt.bitsPerSample / 8;
      AudioBuffer result;
      result.sampleRate = static_cast<int>(fmt.sampleRate);
      result.resize(fmt.channels, frames);
      for (std::size_t f = 0; f < frames; ++f) {
        const std::uint8_t* frame = bytes.data() + body + f * fmt.blockAlign;
        for (std::size_t c = 0; c < fmt.channels; ++c) {
          result.channels[c][f] = decodeSample(frame + c * width, fmt);
        }
      }
      audio = std::move(result);
      return true;
    }
    offset = body + size + (size & 1);  // chunks are padded to even sizes
  }
  error = haveFormat ? "WAV file has no data chunk" : "WAV file has no format chunk";
  return false;
}

std::vector<std::uint8_t> encodeWav(const AudioBuffer& audio, WavSampleFormat format) {
  const bool isFloat = format == WavSampleFormat::kFloat32;
  const std::uint16_t channels = static_cast<std::uint16_t>(audio.channels.size());
  const std::uint16_t width = isFloat ? 4 : 2;
  const std::uint32_t dataSize = static_cast<std::uint32_t>(audio.frames() * channels * width);

  std::vector<std::uint8_t> out;
  out.reserve(44 + dataSize);
  appendTag(out, "RIFF");
  appendLe32(out, 36 + dataSize);
  appendTag(out, "WAVE");
  appendTag(out, "fmt ");
  appendLe32(out, 16);
  appendLe16(out, isFloat ? kFormatFloat : kFormatPcm);
  appendLe16(out, channels);
  appendLe32(out, static_cast<std::uint32_t>(audio.sampleRate));
  appendLe32(out, static_cast<std::uint32_t>(audio.sampleRate) * channels * width);
  appendLe16(out, static_cast<std::uint16_t>(channels * width));
  appendLe16(out, static_cast<std::uint16_t>(width * 8));
  appendTag(out, "data");
  appendLe32(out, dataSize);
  for (std::size_t f = 0; f < audio.frames(); ++f) {
    for (std::uint16_t c = 0; c < channels; ++c) {
      const float sample = audio.channels[c][f];
      if (isFloat) {
        std::uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        appendLe32(out, bits);
      } else {
        // The same scale as reading, so 16-bit samples survive a round trip.
        const long value = std::clamp(std::lround(sample * 32768.0), -32768L, 32767L);
        appendLe16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(value)));
      }
    }
  }
  return out;
}

bool readWavFile(const std::string& path, AudioBuffer& audio, std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!readFileBytes(path, bytes, error)) return false;
  if (decodeWav(bytes, audio, error)) return true;
  error = "'" + path + "': " + error;
  return false;
}

bool writeWavFile(const std::string& path, const AudioBuffer& audio, WavSampleFormat format,
                  std::string& error) {
  return writeFileBytes(path, encodeWav(audio, format), error);
}

}  // namespace plughost
