#include "formats/pe_width.h"

#include <cstdint>
#include <fstream>

#include "formats/byte_order.h"
#include "support/command_error.h"

namespace plughost {
namespace {

constexpr std::streamoff kPeOffsetField = 0x3c;

}  // namespace

std::uint16_t peMachine(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::uint8_t dos[kPeOffsetField + 4];
  if (!file.read(reinterpret_cast<char*>(dos), sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
    return 0;
  }
  // "PE\0\0", then the COFF header, which starts with the machine.
  std::uint8_t pe[6];
  file.seekg(readLe32(dos + kPeOffsetField));
  if (!file.read(reinterpret_cast<char*>(pe), sizeof pe) || readLe32(pe) != 0x4550) return 0;
  return readLe16(pe + 4);
}

int peWidth(const std::string& path) {
  switch (peMachine(path)) {
    case kMachineI386:
      return 32;
    case kMachineAmd64:
      return 64;
    default:
      return 0;
  }
}

void requireOwnWidth(const std::string& path, const std::string& what) {
  const int width = peWidth(path);
  if (width != 0 && width != kOwnWidth) {
    throw CommandError(what + " is " + std::to_string(width) + "-bit but this plughost is " +
                       std::to_string(kOwnWidth) + "-bit");
  }
}

}  // namespace plughost
