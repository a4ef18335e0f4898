#include "formats/plugin_id.h"

namespace plughost {

std::string pluginIdChars(std::int32_t id) {
  std::string chars;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
    if (c < 0x20 || c > 0x7E) return {};
    chars += c;
  }
  return chars;
}

std::string describeId(std::int32_t id) {
  const std::string chars = pluginIdChars(id);
  return std::to_string(id) + (chars.empty() ? "" : " ('" + chars + "')");
}

}  // namespace plughost
