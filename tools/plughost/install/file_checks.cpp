#include "install/file_checks.h"

#include <windows.h>

#include "platform/platform.h"
#include "support/command_error.h"

namespace plughost {

std::string fullPath(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH) throw CommandError("bad path '" + path + "'");
  return buffer;
}

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void makeDirectories(const std::string& directory) {
  for (std::size_t i = 1; i <= directory.size(); ++i) {
    if (i == directory.size() || directory[i] == '\\' || directory[i] == '/') {
      CreateDirectoryA(directory.substr(0, i).c_str(), nullptr);  // existing parts just fail
    }
  }
  const DWORD attributes = GetFileAttributesA(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw CommandError("cannot create folder '" + directory + "'");
  }
}

void requireExport(const std::string& path, const char* name, const char* what) {
  platform::Library library;
  if (!library.loadForInspection(path.c_str())) throw CommandError("cannot load '" + path + "'");
  if (library.symbol(name) == nullptr) {
    throw CommandError("'" + path + "' is not " + what + ": it has no export \"" + name + "\"");
  }
}

}  // namespace plughost
