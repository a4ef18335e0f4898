#include "install/file_checks.h"

#include <windows.h>

#include "platform/path_size.h"
#include "platform/platform.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/utf8_path.h"

namespace plughost {

std::string fullPath(const std::string& path) {
  wchar_t buffer[platform::kMaxPathSize];
  const DWORD length =
      GetFullPathNameW(wideText(path).c_str(), platform::kMaxPathSize, buffer, nullptr);
  if (length >= platform::kMaxPathSize) {
    throw CommandError("path '" + path + "' is too long: its full form has " +
                       std::to_string(length - 1) + " characters, more than the " +
                       std::to_string(platform::kMaxPathSize - 1) +
                       " a Windows path may have (MAX_PATH)");
  }
  if (length == 0) throw CommandError("bad path '" + path + "'");
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

std::string nameOnDisk(const std::string& path) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(wideText(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return path;
  FindClose(search);
  const std::size_t slash = path.find_last_of("\\/");
  return (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) +
         utf8Text(found.cFileName);
}

std::string matchNameCase(const std::string& path) {
  const std::string current = nameOnDisk(path);
  if (current == path) return path;
  // Through a name of its own: a rename to the same name in other case is
  // not one every file system carries out.
  const std::string between = temporaryNameBeside(path);
  if (MoveFileW(wideText(current).c_str(), wideText(between).c_str())) {
    if (MoveFileW(wideText(between).c_str(), wideText(path).c_str())) return nameOnDisk(path);
    MoveFileW(wideText(between).c_str(), wideText(current).c_str());
  }
  return nameOnDisk(path);
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
