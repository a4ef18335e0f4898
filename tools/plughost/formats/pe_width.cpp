#include "formats/pe_width.h"

#include <cstdint>
#include <cstdio>

#include "formats/byte_order.h"
#include "support/command_error.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

constexpr long kPeOffsetField = 0x3c;

}  // namespace

std::uint16_t peMachine(const std::string& path) {
  std::FILE* file = openFile(path, "rb");
  if (!file) return 0;
  std::uint8_t dos[kPeOffsetField + 4];
  std::uint8_t pe[6];
  // "PE\0\0", then the COFF header, which starts with the machine.
  const bool read =
      std::fread(dos, 1, sizeof dos, file) == sizeof dos && dos[0] == 'M' && dos[1] == 'Z' &&
      std::fseek(file, static_cast<long>(readLe32(dos + kPeOffsetField)), SEEK_SET) == 0 &&
      std::fread(pe, 1, sizeof pe, file) == sizeof pe && readLe32(pe) == 0x4550;
  std::fclose(file);
  return read ? readLe16(pe + 4) : 0;
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
