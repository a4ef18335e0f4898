// The engine's saved state: a small versioned record of every parameter value
// of one processor, little-endian whatever the machine:
//   offset 0  "KDMO"       magic
//          4  uint16       format version (1)
//          6  uint16       processor kind (its process index)
//          8  uint32       parameter count n
//         12  int32 x n    parameter values in engine order
// A chunk is applied only when every field matches this processor and every
// value lies within its bounds; anything else is ignored as a whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "parameter_bank.h"

namespace demo {

constexpr std::uint16_t kChunkVersion = 1;
constexpr std::size_t kChunkHeaderSize = 12;

std::size_t chunkSize(const ParameterBank& bank);
// Writes chunkSize(bank) bytes to `out`.
void writeChunk(std::uint16_t kind, const ParameterBank& bank, std::uint8_t* out);
// Applies the chunk to `bank`; false (bank untouched) when it does not fit.
bool readChunk(std::uint16_t kind, const std::uint8_t* bytes, std::size_t size,
               ParameterBank& bank);

}  // namespace demo
