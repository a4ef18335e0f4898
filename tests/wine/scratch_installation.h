// A throwaway installation for tests that run the built DLLs: an engine of
// the bin folder registered under a GUID of its own, and a temporary folder
// for named copies of the plug-in with their .ini files. Both go again with
// the object, whatever the test left in the folder.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "child_process.h"

namespace wine_test {

// Process ID and a clock reading: names no other run of any test uses.
inline std::string uniqueSuffix() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(now.QuadPart);
}

inline bool writeBytes(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && written;
}

// A GUID in braces that no other run of any test uses, its first group
// from `label`.
inline std::string uniqueGuid(const std::string& label) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  std::uint32_t labelHash = 2166136261u;
  for (char c : label) labelHash = (labelHash ^ static_cast<unsigned char>(c)) * 16777619u;
  const DWORD process = GetCurrentProcessId();
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-0000-%012llX}",
                static_cast<unsigned>(labelHash), static_cast<unsigned>(process >> 16),
                static_cast<unsigned>(process & 0xFFFF),
                static_cast<unsigned long long>(now.QuadPart) & 0xFFFFFFFFFFFFull);
  return text;
}

// Another GUID in braces made from `guid`: number `n` (1 to 255) in its
// fourth group.
inline std::string relatedGuid(const std::string& guid, unsigned n) {
  char group[5];
  std::snprintf(group, sizeof group, "%04X", n & 0xFF);
  return guid.substr(0, 20) + group + guid.substr(24);
}

inline std::string productKey(const std::string& guid) {
  return "Software\\KEL\\" + guid;
}

// Sets PathName of the product key of `guid`, creating the key.
inline bool setEnginePath(const std::string& guid, const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, productKey(guid).c_str(), 0, nullptr, 0, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG set =
      RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                     static_cast<DWORD>(path.size() + 1));
  RegCloseKey(key);
  return set == ERROR_SUCCESS;
}

// PathName of the product key of `guid`; "" without key or value.
inline std::string enginePath(const std::string& guid) {
  HKEY key = nullptr;
  char value[MAX_PATH] = {};
  DWORD size = sizeof value - 1;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, productKey(guid).c_str(), 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    RegQueryValueExA(key, "PathName", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
  }
  return value;
}

// Deletes `folder` (ending in a backslash) with its files and subfolders.
inline void removeFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeFolder(folder + name + "\\");
      } else {
        DeleteFileA((folder + name).c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

class ScratchInstallation {
 public:
  // `label` names the GUID and the folder; `engineFile` is a DLL of the bin
  // folder.
  ScratchInstallation(const std::string& label, const std::string& engineFile)
      : guid(uniqueGuid(label)), folder(temporaryFolder(label)) {
    ready_ =
        CreateDirectoryA(folder.c_str(), nullptr) && setEnginePath(guid, binFolder() + engineFile);
  }
  ~ScratchInstallation() {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, productKey(guid).c_str());
    removeFolder(folder);
  }
  ScratchInstallation(const ScratchInstallation&) = delete;
  ScratchInstallation& operator=(const ScratchInstallation&) = delete;

  // The folder exists and the engine is registered.
  bool ready() const { return ready_; }

  // Copies the plug-in as `name`.dll beside a `name`.ini for this GUID;
  // answers the DLL's path, or "" when a file could not be written.
  std::string addEffect(const std::string& name, std::int32_t id, int processIndex,
                        int channelsIn = 2) const {
    const std::string dll = folder + name + ".dll";
    const std::string ini =
        "[KEL]\r\nGUID=" + guid + "\r\nChannelsIn=" + std::to_string(channelsIn) +
        "\r\nChannelsOut=2\r\nID=" + std::to_string(id) +
        "\r\nProcessIndex=" + std::to_string(processIndex) + "\r\n[VST]\r\nName=" + name + "\r\n";
    if (!CopyFileA((binFolder() + "kelbridge.dll").c_str(), dll.c_str(), FALSE)) return "";
    return writeBytes(folder + name + ".ini", ini) ? dll : "";
  }

  const std::string guid;
  const std::string folder;  // ends in a backslash

 private:
  static std::string temporaryFolder(const std::string& label) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + label + "-" + uniqueSuffix() + "\\";
  }

  bool ready_ = false;
};

}  // namespace wine_test
