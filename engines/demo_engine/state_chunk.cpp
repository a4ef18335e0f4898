#include "state_chunk.h"

#include <array>

namespace demo {
namespace {

constexpr std::uint8_t kMagic[4] = {'K', 'D', 'M', 'O'};

void putU16(std::uint8_t* out, std::uint16_t v) {
  out[0] = static_cast<std::uint8_t>(v);
  out[1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::uint8_t* out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t getU16(const std::uint8_t* in) {
  return static_cast<std::uint16_t>(in[0] | (in[1] << 8));
}

std::uint32_t getU32(const std::uint8_t* in) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | in[i];
  return v;
}

}  // namespace

std::size_t chunkSize(const ParameterBank& bank) {
  return kChunkHeaderSize + 4 * static_cast<std::size_t>(bank.count());
}

void writeChunk(std::uint16_t kind, const ParameterBank& bank, std::uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = kMagic[i];
  putU16(out + 4, kChunkVersion);
  putU16(out + 6, kind);
  putU32(out + 8, static_cast<std::uint32_t>(bank.count()));
  for (std::int32_t i = 0; i < bank.count(); ++i) {
    putU32(out + kChunkHeaderSize + 4 * i, static_cast<std::uint32_t>(bank.get(i)));
  }
}

bool readChunk(std::uint16_t kind, const std::uint8_t* bytes, std::size_t size,
               ParameterBank& bank) {
  if (!bytes || size != chunkSize(bank)) return false;
  for (int i = 0; i < 4; ++i) {
    if (bytes[i] != kMagic[i]) return false;
  }
  if (getU16(bytes + 4) != kChunkVersion || getU16(bytes + 6) != kind) return false;
  if (getU32(bytes + 8) != static_cast<std::uint32_t>(bank.count())) return false;

  std::array<std::int32_t, ParameterBank::kMaxParameters> values{};
  for (std::int32_t i = 0; i < bank.count(); ++i) {
    values[i] = static_cast<std::int32_t>(getU32(bytes + kChunkHeaderSize + 4 * i));
    if (!bank.accepts(i, values[i])) return false;
  }
  for (std::int32_t i = 0; i < bank.count(); ++i) bank.set(i, values[i]);
  return true;
}

}  // namespace demo
