#include "formats/plugin_id.h"

#include <cerrno>
#include <cstdlib>

namespace plughost {

bool parsePluginId(const std::string& text, std::int32_t& id, std::string& error) {
  if (!text.empty()) {
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(text.c_str(), &end, 10);
    if (*end == '\0' && errno == 0 && number >= INT32_MIN && number <= UINT32_MAX) {
      id = static_cast<std::int32_t>(static_cast<std::uint32_t>(number));
      return true;
    }
    if (*end == '\0') {
      error = "bad plug-in ID '" + text + "': a number must lie within " +
              std::to_string(INT32_MIN) + ".." + std::to_string(UINT32_MAX);
      return false;
    }
  }
  if (text.size() == 4) {
    std::uint32_t value = 0;
    for (char c : text) value = (value << 8) | static_cast<unsigned char>(c);
    id = static_cast<std::int32_t>(value);
    return true;
  }
  error = "bad plug-in ID '" + text + "': give a number or exactly four characters";
  return false;
}

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
