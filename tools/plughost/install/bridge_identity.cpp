#include "install/bridge_identity.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <vector>

#include "formats/pe_exports.h"
#include "formats/pe_width.h"
#include "installation/effect_settings.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

// The name kelbridge.def gives the library; copies keep it under any file name.
constexpr char kBridgeLibraryName[] = "kelbridge.dll";
// What the bridge's version resource calls it.
constexpr char kBridgeInternalName[] = "kelbridge";

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

// One text of a file's version resource ("InternalName"), in any of the
// languages it lists; "" without one.
std::string versionText(const std::string& path, const wchar_t* key) {
  const std::wstring file = wideText(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return "";
  std::vector<std::uint8_t> info(size);
  if (!GetFileVersionInfoW(file.c_str(), 0, size, info.data())) return "";
  struct Translation {
    WORD language;
    WORD codePage;
  };
  Translation* translations = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translations), &length)) {
    return "";
  }
  for (UINT i = 0; i < length / sizeof(Translation); ++i) {
    // \StringFileInfo\040904b0\InternalName: language and code page in hex.
    std::wstring query = L"\\StringFileInfo\\";
    const std::uint32_t block =
        (static_cast<std::uint32_t>(translations[i].language) << 16) | translations[i].codePage;
    for (int shift = 28; shift >= 0; shift -= 4)
      query += L"0123456789abcdef"[(block >> shift) & 15];
    query += L"\\";
    query += key;
    wchar_t* text = nullptr;
    UINT textLength = 0;
    if (VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<void**>(&text), &textLength) &&
        text != nullptr && textLength > 0) {
      return utf8Text(std::wstring(text, wcsnlen(text, textLength)));
    }
  }
  return "";
}

}  // namespace

bool isBridgeImage(const std::string& path) {
  PeExports exports;
  if (!readPeExports(path, exports) || exports.names.size() != 1 || exports.names[0] != "main") {
    return false;
  }
  if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, exports.libraryName.c_str(), -1,
                     kBridgeLibraryName, -1) != CSTR_EQUAL) {
    return false;
  }
  // The export table alone is easily had by another DLL; the bridge's
  // version resource (src/kelbridge.rc) names it as well.
  return versionText(path, L"InternalName") == kBridgeInternalName &&
         versionText(path, L"ProductName") == kBridgeInternalName;
}

std::string replacementProblem(const std::string& dll,
                               const installation::EffectSettings& settings) {
  const std::string ini = installation::settingsPathFor(dll);
  if (!exists(dll) && !exists(ini)) return "";
  installation::EffectSettings found;
  const std::string problem = notAnEffectCopy(dll, found);
  if (!problem.empty()) return problem;
  // A GUID is a number: {abc…} and {ABC…} name one engine, as in the registry.
  const bool sameEngine = CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, found.guid, -1,
                                         settings.guid, -1) == CSTR_EQUAL;
  if (!sameEngine || found.processIndex != settings.processIndex) {
    return "'" + ini + "' configures another effect (engine " + found.guid + ", process index " +
           std::to_string(found.processIndex) + ")";
  }
  // A host of one width never loads a copy of the other; a 32-bit and a
  // 64-bit copy of one effect live in different folders, and one must not
  // silently take the other's place.
  const int width = peWidth(dll);
  if (width != 0 && width != kOwnWidth) {
    return "'" + dll + "' is the " + std::to_string(width) + "-bit copy of this effect, which " +
           std::to_string(kOwnWidth) + "-bit hosts cannot load in its place";
  }
  return "";
}

std::string removalProblem(const std::string& dll) {
  installation::EffectSettings found;
  return notAnEffectCopy(dll, found);
}

}  // namespace plughost
