// The platform's text for an error code, for one-line failure messages.
#pragma once

#include <windows.h>

#include <string>

namespace plughost {

// The text without the trailing full stop. Some texts have a place for the
// file concerned ("Bad EXE format for %1"): it gets the name of `file` (its
// last path part), or "the file".
std::string systemMessage(DWORD code, const std::string& file = "");

}  // namespace plughost
