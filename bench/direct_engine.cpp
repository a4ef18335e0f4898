#include "direct_engine.h"

#include <cstring>

#include "platform/path_size.h"
#include "platform/platform.h"

namespace bench {

DirectEngine::DirectEngine(const std::string& libraryPath) {
  constexpr std::int32_t kProcessIndex = 0;
  constexpr bool kWithView = false;
  constexpr std::int32_t kChannels = 2;
  if (session.open(libraryPath.c_str(), &host, kProcessIndex, kWithView) !=
      enginehost::OpenFailure::none) {
    return;
  }
  session.start(kChannels, kChannels);
}

std::string programFolder() {
  char path[platform::kMaxPathSize];
  if (!platform::moduleFileName(nullptr, path, sizeof path)) return std::string();
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) slash[1] = '\0';
  return path;
}

}  // namespace bench
