// The export directory of a Windows PE image, read from the file without
// loading it: the library name the linker wrote into it and the exported
// names. Every read is bounds-checked, so any file gives an answer.
#pragma once

#include <string>
#include <vector>

namespace plughost {

struct PeExports {
  std::string libraryName;         // as linked, e.g. "kelbridge.dll"; "" without exports
  std::vector<std::string> names;  // exported names in table order
};

// False when the file is missing or not a PE image with a readable export
// directory (an image without exports answers true with nothing in it).
bool readPeExports(const std::string& path, PeExports& exports);

}  // namespace plughost
