// Test double of the platform doorway for native (sanitizer) runs of the
// bridge logic: an in-memory .ini store, registry and library table, and a
// record of error boxes. Never linked into a Windows build.
#pragma once

#include <string>
#include <vector>

namespace fakeplatform {

void reset();
// The file name the platform reports for a loaded module (null: the program).
void setModulePath(const void* module, const std::string& path);
void setProfileString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value);
// Creates the key (and its parents) below HKEY_LOCAL_MACHINE, e.g. "Software\\KEL\\X".
void addRegistryKey(const std::string& path);
// Stores raw bytes, which need not be NUL-terminated.
void setRegistryValue(const std::string& keyPath, const std::string& name,
                      const std::string& bytes);
// Makes `path` loadable; symbol lookups answer from `symbols`.
void registerLibrary(const std::string& path,
                     const std::vector<std::pair<std::string, void*>>& symbols);
int libraryLoadCount(const std::string& path);  // loads minus unloads
int openRegistryKeys();                         // keys opened and not closed
int failedRegistryCloses();                     // closes of a key not open
const std::vector<std::string>& errorBoxes();

}  // namespace fakeplatform
