#include "install/bridge_identity.h"

#include <windows.h>

#include "formats/pe_exports.h"
#include "installation/effect_settings.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

// The name kelbridge.def gives the library; copies keep it under any file name.
constexpr char kBridgeLibraryName[] = "kelbridge.dll";

bool exists(const std::string& path) {
  return GetFileAttributesW(wideText(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool isFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The reason an existing `dll` and its .ini are no effect copy of the
// bridge; "" when they are (the DLL may be missing). `settings` gets the .ini.
std::string notAnEffectCopy(const std::string& dll, installation::EffectSettings& settings) {
  const std::string ini = installation::settingsPathFor(dll);
  if (isFolder(dll)) return "'" + dll + "' is a folder";
  if (isFolder(ini)) return "'" + ini + "' is a folder";
  if (exists(dll) && !isBridgeImage(dll)) {
    return "'" + dll + "' is not a copy of the kelbridge plug-in";
  }
  if (!exists(ini)) return "'" + dll + "' has no effect configuration '" + ini + "' beside it";
  if (!installation::hasEffectSettings(ini.c_str())) {
    return "'" + ini + "' is not an effect configuration (it has no [KEL] section)";
  }
  settings = installation::readEffectSettings(ini.c_str());
  return "";
}

}  // namespace

bool isBridgeImage(const std::string& path) {
  PeExports exports;
  if (!readPeExports(path, exports) || exports.names.size() != 1 || exports.names[0] != "main") {
    return false;
  }
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, exports.libraryName.c_str(), -1,
                        kBridgeLibraryName, -1) == CSTR_EQUAL;
}

std::string replacementProblem(const std::string& dll,
                               const installation::EffectSettings& settings) {
  const std::string ini = installation::settingsPathFor(dll);
  if (!exists(dll) && !exists(ini)) return "";
  installation::EffectSettings found;
  const std::string problem = notAnEffectCopy(dll, found);
  if (!problem.empty()) return problem;
  if (std::string(found.guid) != settings.guid || found.processIndex != settings.processIndex) {
    return "'" + ini + "' configures another effect (engine " + found.guid + ", process index " +
           std::to_string(found.processIndex) + ")";
  }
  return "";
}

std::string removalProblem(const std::string& dll) {
  installation::EffectSettings found;
  return notAnEffectCopy(dll, found);
}

}  // namespace plughost
