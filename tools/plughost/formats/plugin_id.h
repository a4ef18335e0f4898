// Plug-in unique IDs as people read them: a decimal number, with its four
// characters when they are printable ("DGai" = 0x44476169, first character in
// the most significant byte). Reading them from text is the installation
// module's (installation::parseUniqueId).
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

// The four characters of `id` when all are printable ASCII, otherwise "".
std::string pluginIdChars(std::int32_t id);
// The number, with its characters when they are printable: "1145528681 ('DGai')".
std::string describeId(std::int32_t id);

}  // namespace plughost
