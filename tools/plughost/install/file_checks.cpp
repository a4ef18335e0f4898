#include "install/file_checks.h"

#include <windows.h>

#include "platform/platform.h"
#include "support/command_error.h"
#include "support/utf8_path.h"

namespace plughost {

std::string fullPath(const std::string& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetFullPathNameW(wideText(path).c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH) throw CommandError("bad path '" + path + "'");
  return utf8Text(buffer);
}

bool samePath(const std::string& a, const std::string& b) {
  return CompareStringOrdinal(wideText(fullPath(a)).c_str(), -1, wideText(fullPath(b)).c_str(), -1,
                              TRUE) == CSTR_EQUAL;
}

bool isAnsiPath(const std::string& path) {
  const std::wstring wide = wideText(path);
  BOOL lost = FALSE;
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, nullptr, 0, nullptr, &lost);
  return !lost;
}

void requireAnsiPath(const std::string& path, const char* what) {
  if (!isAnsiPath(path)) {
    throw CommandError(std::string(what) + " '" + path + "' has characters beyond the system's " +
                       "ANSI code page (" + std::to_string(GetACP()) +
                       "), which the plug-in cannot read: choose a folder without them");
  }
}

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void makeDirectories(const std::string& directory) {
  for (std::size_t i = 1; i <= directory.size(); ++i) {
    if (i == directory.size() || directory[i] == '\\' || directory[i] == '/') {
      CreateDirectoryW(wideText(directory.substr(0, i)).c_str(), nullptr);  // existing parts fail
    }
  }
  const DWORD attributes = GetFileAttributesW(wideText(directory).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw CommandError("cannot create folder '" + directory + "'");
  }
}

void requireExport(const std::string& path, const char* name, const char* what) {
  // Loaded for its export table only: nothing of it runs.
  platform::Library library;
  if (!library.loadForInspection(wideText(path).c_str())) {
    throw CommandError("cannot load '" + path + "'");
  }
  if (library.symbol(name) == nullptr) {
    throw CommandError("'" + path + "' is not " + what + ": it has no export \"" + name + "\"");
  }
}

}  // namespace plughost
