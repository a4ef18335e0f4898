// File-system checks shared by install and register: full paths, files,
// folders, and the export that tells a plug-in or engine library from any
// other DLL. Each throws CommandError with one line naming the path.
#pragma once

#include <string>

namespace plughost {

// The full path of `path`; throws when the system cannot make one.
std::string fullPath(const std::string& path);

// True when `a` and `b` name the same file (full paths, letter case ignored).
bool samePath(const std::string& a, const std::string& b);

// True when every character of `path` exists in the system's ANSI code page.
bool isAnsiPath(const std::string& path);

// Throws unless every character of `path` exists in the system's ANSI code
// page: the bridge finds its .ini and its engine through the ANSI
// interfaces, so an effect folder or engine path beyond it would not load.
// `what` names the path for the user ("effect folder", "engine").
void requireAnsiPath(const std::string& path, const char* what);

// True when `path` names an existing file (not a folder).
bool isFile(const std::string& path);

// `path` with its last part as the folder holds it: on a file system that
// ignores letter case, "x\\BAR.dll" may be the file "x\\Bar.dll". `path`
// itself when there is no such file.
std::string nameOnDisk(const std::string& path);

// Gives the file at `path` the letter case of `path` when its name on disk
// differs only in case; returns the name it has afterwards.
std::string matchNameCase(const std::string& path);

// Creates `directory` and any missing parents (a full path).
void makeDirectories(const std::string& directory);

// Throws unless the library at `path` exports `name`; `what` names the kind of
// library the user gave ("a VST 2 plug-in", "an engine library").
void requireExport(const std::string& path, const char* name, const char* what);

}  // namespace plughost
