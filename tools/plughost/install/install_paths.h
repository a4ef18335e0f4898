// The names install, uninstall, register and unregister take: an effect name
// that is also a file name, an engine GUID that is also a registry key name,
// and the folder the effect's files lie in.
#pragma once

#include <string>

#include "support/command_error.h"

namespace plughost {

// Characters a Windows file name cannot hold.
constexpr char kNotInEffectName[] = "\\/:*?\"<>|";
// A GUID is one key below Software\KEL: no separators, no line breaks.
constexpr char kNotInGuid[] = "\\/\r\n";

// Throws CommandError "bad WHAT 'VALUE'" for an empty value or one holding
// any of `forbidden`.
inline void requireName(const std::string& value, const char* what, const char* forbidden) {
  if (value.empty() || value.find_first_of(forbidden) != std::string::npos) {
    throw CommandError(std::string("bad ") + what + " '" + value + "'");
  }
}

// `folder` without trailing separators, but a drive's root ("C:\") kept whole.
inline std::string withoutTrailingSeparators(std::string folder) {
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

}  // namespace plughost
