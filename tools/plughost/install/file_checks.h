// File-system checks shared by install and register: full paths, files,
// folders, and the export that tells a plug-in or engine library from any
// other DLL. Each throws CommandError with one line naming the path.
#pragma once

#include <string>

namespace plughost {

// The full path of `path`; throws when the system cannot make one.
std::string fullPath(const std::string& path);

// True when `path` names an existing file (not a folder).
bool isFile(const std::string& path);

// Creates `directory` and any missing parents (a full path).
void makeDirectories(const std::string& directory);

// Throws unless the library at `path` exports `name`; `what` names the kind of
// library the user gave ("a VST 2 plug-in", "an engine library").
void requireExport(const std::string& path, const char* name, const char* what);

}  // namespace plughost
