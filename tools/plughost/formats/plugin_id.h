// Plug-in unique IDs as people write them: a decimal number or four characters
// ("DGai" = 0x44476169, first character in the most significant byte).
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

// False with a one-line reason in `error` when `text` is neither.
bool parsePluginId(const std::string& text, std::int32_t& id, std::string& error);
// The four characters of `id` when all are printable ASCII, otherwise "".
std::string pluginIdChars(std::int32_t id);
// The number, with its characters when they are printable: "1145528681 ('DGai')".
std::string describeId(std::int32_t id);

}  // namespace plughost
