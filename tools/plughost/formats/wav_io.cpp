#include "formats/wav_io.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>
#include <memory>

#include "formats/byte_file.h"
#include "formats/byte_order.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kMaxChannels = 64;

using FormatChunk = WavFormatChunk;

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
  if (fmt.sampleRate < kMinWavRate || fmt.sampleRate > kMaxWavRate) {
    error = "WAV sample rate " + std::to_string(fmt.sampleRate) + " Hz is outside " +
            std::to_string(kMinWavRate) + ".." + std::to_string(kMaxWavRate) + " Hz";
    return false;
  }
  if (fmt.channels == 0 || fmt.channels > kMaxChannels ||
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

std::uint16_t sampleWidth(WavSampleFormat format) {
  return format == WavSampleFormat::kFloat32 ? 4 : format == WavSampleFormat::kPcm16 ? 2 : 3;
}

// Float always carries the extensible header; PCM only where the plain one is
// ambiguous, beyond two channels.
std::uint32_t formatChunkSize(WavSampleFormat format, std::size_t channels) {
  return format == WavSampleFormat::kFloat32 || channels > 2 ? 40 : 16;
}

// Speaker positions: front centre for mono, else the first positions in order.
std::uint32_t channelMask(std::uint16_t channels) {
  if (channels == 1) return 0x4;
  return channels <= 18 ? (1u << channels) - 1 : 0;
}

// The sub-format GUID after its leading format code.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

// Rounded to the grid of `scale` steps per unit and clipped; NaN is silence.
std::int32_t pcmValue(float sample, double scale) {
  if (std::isnan(sample)) return 0;
  const double scaled = std::clamp(static_cast<double>(sample) * scale, -scale, scale - 1.0);
  return static_cast<std::int32_t>(std::lround(scaled));
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
    std::uint32_t size = readLe32(header + 4);
    const std::size_t body = offset + 8;
    // A streamed file's data runs to its end.
    if (size == kUnknownWavSize && hasTag(header, "data")) {
      size = static_cast<std::uint32_t>(bytes.size() - body);
    }
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

std::uint64_t encodedWavSize(std::size_t frames, std::size_t channels, WavSampleFormat format) {
  const std::uint64_t data = static_cast<std::uint64_t>(frames) * channels * sampleWidth(format);
  return 12 + 8 + formatChunkSize(format, channels) +
         (format == WavSampleFormat::kFloat32 ? 12 : 0) + 8 + data + (data & 1);
}

std::vector<std::uint8_t> encodeWavHeader(int sampleRate, std::size_t channelCount,
                                          std::size_t frames, WavSampleFormat format) {
  const auto channels = static_cast<std::uint16_t>(channelCount);
  const std::uint16_t width = sampleWidth(format);
  const std::uint32_t fmtSize = formatChunkSize(format, channels);
  const bool isFloat = format == WavSampleFormat::kFloat32;
  const auto dataSize = static_cast<std::uint32_t>(frames * channels * width);
  const auto fileSize = static_cast<std::uint32_t>(encodedWavSize(frames, channels, format));

  std::vector<std::uint8_t> out;
  appendTag(out, "RIFF");
  appendLe32(out, fileSize - 8);
  appendTag(out, "WAVE");
  appendTag(out, "fmt ");
  appendLe32(out, fmtSize);
  const std::uint16_t code = isFloat ? kFormatFloat : kFormatPcm;
  appendLe16(out, fmtSize == 40 ? kFormatExtensible : code);
  appendLe16(out, channels);
  appendLe32(out, static_cast<std::uint32_t>(sampleRate));
  appendLe32(out, static_cast<std::uint32_t>(sampleRate) * channels * width);
  appendLe16(out, static_cast<std::uint16_t>(channels * width));
  appendLe16(out, static_cast<std::uint16_t>(width * 8));
  if (fmtSize == 40) {
    appendLe16(out, 22);                                     // extension size
    appendLe16(out, static_cast<std::uint16_t>(width * 8));  // valid bits
    appendLe32(out, channelMask(channels));
    appendLe16(out, code);  // sub-format GUID: the format code, then a fixed tail
    out.insert(out.end(), std::begin(kSubFormatTail), std::end(kSubFormatTail));
  }
  if (isFloat) {
    appendTag(out, "fact");
    appendLe32(out, 4);
    appendLe32(out, static_cast<std::uint32_t>(frames));
  }
  appendTag(out, "data");
  appendLe32(out, dataSize);
  return out;
}

std::vector<std::uint8_t> encodeStreamedWavHeader(int sampleRate, std::size_t channels,
                                                  WavSampleFormat format) {
  std::vector<std::uint8_t> out = encodeWavHeader(sampleRate, channels, 0, format);
  const auto unknown = [&out](std::size_t at) {
    for (std::size_t i = 0; i < 4; ++i) out[at + i] = 0xFF;
  };
  unknown(4);                                                         // the RIFF size
  unknown(out.size() - 4);                                            // the data size
  if (format == WavSampleFormat::kFloat32) unknown(out.size() - 12);  // the fact chunk's frames
  return out;
}

void appendWavSamples(std::vector<std::uint8_t>& out, const float* const* channels,
                      std::size_t channelCount, std::size_t frames, WavSampleFormat format) {
  for (std::size_t f = 0; f < frames; ++f) {
    for (std::size_t c = 0; c < channelCount; ++c) {
      const float sample = channels[c][f];
      if (format == WavSampleFormat::kFloat32) {
        std::uint32_t bits;
        std::memcpy(&bits, &sample, sizeof bits);
        appendLe32(out, bits);
      } else if (format == WavSampleFormat::kPcm16) {
        // The same scale as reading, so PCM samples survive a round trip.
        const auto value = static_cast<std::uint32_t>(pcmValue(sample, 32768.0));
        appendLe16(out, static_cast<std::uint16_t>(value));
      } else {
        const auto value = static_cast<std::uint32_t>(pcmValue(sample, 8388608.0));
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                    static_cast<std::uint8_t>(value >> 16)});
      }
    }
  }
}

std::vector<std::uint8_t> encodeWav(const AudioBuffer& audio, WavSampleFormat format) {
  const std::size_t channels = audio.channels.size();
  std::vector<std::uint8_t> out =
      encodeWavHeader(audio.sampleRate, channels, audio.frames(), format);
  std::vector<const float*> pointers;
  for (const auto& c : audio.channels) pointers.push_back(c.data());
  appendWavSamples(out, pointers.data(), channels, audio.frames(), format);
  if (out.size() & 1) out.push_back(0);  // chunks are padded to even sizes
  return out;
}

namespace {

// 64-bit offsets: a WAV file may be up to 4 GiB, beyond a 32-bit long.
bool seekTo(std::FILE* file, std::uint64_t offset) {
#if defined(_WIN32)
  return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
#else
  return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t fileSize(std::FILE* file) {
#if defined(_WIN32)
  if (_fseeki64(file, 0, SEEK_END) != 0) return 0;
  const __int64 size = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return 0;
  const off_t size = ftello(file);
#endif
  return size < 0 ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace

void WavFileReader::Closer::operator()(std::FILE* file) const {
  std::fclose(file);
}

bool WavFileReader::open(const std::string& path, std::string& error) {
  file_.reset(openFile(path, "rb"));
  if (!file_) {
    error = "cannot open '" + path + "'";
    return false;
  }
  const auto fail = [&](const std::string& reason) {
    error = "'" + path + "': " + reason;
    file_.reset();
    return false;
  };
  const std::uint64_t size = fileSize(file_.get());
  std::uint8_t riff[12];
  if (size < 12 || !seekTo(file_.get(), 0) || std::fread(riff, 1, 12, file_.get()) != 12 ||
      !hasTag(riff, "RIFF") || !hasTag(riff + 8, "WAVE")) {
    return fail("not a RIFF WAVE file");
  }
  FormatChunk fmt;
  bool haveFormat = false;
  std::uint64_t offset = 12;
  std::uint8_t header[8];
  while (offset + 8 <= size && seekTo(file_.get(), offset) &&
         std::fread(header, 1, 8, file_.get()) == 8) {
    std::uint32_t chunk = readLe32(header + 4);
    const std::uint64_t body = offset + 8;
    // A streamed file's data runs to its end.
    if (chunk == kUnknownWavSize && hasTag(header, "data")) {
      chunk = static_cast<std::uint32_t>(std::min<std::uint64_t>(size - body, kUnknownWavSize));
    }
    if (chunk > size - body) return fail("WAV file is truncated");
    if (hasTag(header, "fmt ")) {
      std::vector<std::uint8_t> bytes(std::min<std::uint32_t>(chunk, 64));
      if (std::fread(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size()) {
        return fail("WAV file is truncated");
      }
      std::string reason;
      if (!parseFormat(bytes.data(), chunk, fmt, reason)) return fail(reason);
      haveFormat = true;
    } else if (hasTag(header, "data")) {
      if (!haveFormat) return fail("WAV data chunk comes before the format chunk");
      format_ = fmt;
      sampleRate_ = static_cast<int>(fmt.sampleRate);
      channels_ = fmt.channels;
      frames_ = chunk / fmt.blockAlign;
      left_ = frames_;
      return true;
    }
    offset = body + chunk + (chunk & 1);  // chunks are padded to even sizes
  }
  return fail(haveFormat ? "WAV file has no data chunk" : "WAV file has no format chunk");
}

std::size_t WavFileReader::read(std::vector<std::vector<float>>& channels, std::size_t frames,
                                std::string& error) {
  const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(frames, left_));
  const std::size_t width = format_.bitsPerSample / 8;
  bytes_.resize(count * format_.blockAlign);
  if (count > 0 && std::fread(bytes_.data(), 1, bytes_.size(), file_.get()) != bytes_.size()) {
    error = "cannot read the WAV input";
    return 0;
  }
  channels.resize(channels_);
  for (std::size_t c = 0; c < channels_; ++c) {
    channels[c].resize(count);
    for (std::size_t f = 0; f < count; ++f) {
      channels[c][f] = decodeSample(bytes_.data() + f * format_.blockAlign + c * width, format_);
    }
  }
  left_ -= count;
  return count;
}

bool WavFileWriter::open(const std::string& path, int sampleRate, std::size_t channels,
                         std::size_t frames, WavSampleFormat format, std::string& error) {
  if (encodedWavSize(frames, channels, format) > kMaxWavFileSize) {
    error = "cannot write '" + path + "': the audio is too long for a WAV file (4 GiB at most)";
    return false;
  }
  channels_ = channels;
  format_ = format;
  left_ = frames;
  pad_ = (static_cast<std::uint64_t>(frames) * channels * sampleWidth(format)) & 1;
  if (!file_.open(path, error)) return false;
  const std::vector<std::uint8_t> header =
      file_.toStandardOutput() ? encodeStreamedWavHeader(sampleRate, channels, format)
                               : encodeWavHeader(sampleRate, channels, frames, format);
  return file_.write(header.data(), header.size(), error);
}

bool WavFileWriter::write(const float* const* channels, std::size_t frames, std::string& error) {
  bytes_.clear();
  appendWavSamples(bytes_, channels, channels_, std::min(frames, left_), format_);
  left_ -= std::min(frames, left_);
  return file_.write(bytes_.data(), bytes_.size(), error);
}

bool WavFileWriter::commit(std::string& error) {
  if (left_ != 0) {
    error = "the WAV output is missing " + std::to_string(left_) + " frames";
    return false;
  }
  // The data chunk's pad byte: its size is odd only for odd PCM16/24 totals.
  const std::uint8_t pad = 0;
  if (pad_ && !file_.write(&pad, 1, error)) return false;
  return file_.commit(error);
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
  if (encodedWavSize(audio.frames(), audio.channels.size(), format) > kMaxWavFileSize) {
    error = "cannot write '" + path + "': the audio is too long for a WAV file (4 GiB at most)";
    return false;
  }
  return writeFileBytes(path, encodeWav(audio, format), error);
}

}  // namespace plughost
