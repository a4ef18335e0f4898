// The names install, uninstall, register and unregister take: an effect name
// that is also a file name, an engine GUID that is also a registry key name,
// and the folder the effect's files lie in. The rules are the installation
// module's, shared with the plug-in and the installer generator.
#pragma once

#include <string>

#include "installation/installation_rules.h"
#include "support/command_error.h"

namespace plughost {

// Throw CommandError "bad effect name 'VALUE': REASON" (or "bad GUID ...").
inline void requireEffectName(const std::string& name) {
  const std::string problem = installation::effectNameProblem(name);
  if (!problem.empty()) throw CommandError("bad effect name '" + name + "': " + problem);
}
inline void requireGuid(const std::string& guid) {
  const std::string problem = installation::guidProblem(guid);
  if (!problem.empty()) throw CommandError("bad GUID '" + guid + "': " + problem);
}

// `folder` without trailing separators, but a drive's root ("C:\") kept whole.
inline std::string withoutTrailingSeparators(std::string folder) {
  while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

}  // namespace plughost
