#include "bridge/bridge_configuration.h"

#include <cstring>

#include "platform/platform.h"

namespace kel {

namespace {
constexpr const char kExtension[] = ".ini";
}

bool configurationPathFor(const char* libraryPath, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (libraryPath == nullptr) return false;
  // The last "." of the whole path, even when it sits in a folder name.
  const char* dot = std::strrchr(libraryPath, '.');
  const std::size_t stem =
      dot != nullptr ? static_cast<std::size_t>(dot - libraryPath) : std::strlen(libraryPath);
  if (stem + sizeof(kExtension) > size) return false;
  std::memcpy(out, libraryPath, stem);
  std::memcpy(out + stem, kExtension, sizeof(kExtension));
  return true;
}

BridgeConfiguration readBridgeConfiguration(void* module) {
  BridgeConfiguration config;
  char libraryPath[BridgeConfiguration::kPathSize];
  char iniPath[BridgeConfiguration::kPathSize];
  if (!platform::moduleFileName(module, libraryPath, sizeof libraryPath) ||
      !configurationPathFor(libraryPath, iniPath, sizeof iniPath)) {
    return config;
  }
  platform::readProfileString(iniPath, "KEL", "GUID", "", config.guid, sizeof config.guid);
  platform::readProfileString(iniPath, "VST", "Name", "", config.name, sizeof config.name);
  config.channelsIn = platform::readProfileInt(iniPath, "KEL", "ChannelsIn", 0);
  config.channelsOut = platform::readProfileInt(iniPath, "KEL", "ChannelsOut", 0);
  config.uniqueId = platform::readProfileInt(iniPath, "KEL", "ID", 0);
  config.processIndex = platform::readProfileInt(iniPath, "KEL", "ProcessIndex", 0);
  // A host sizes its channel arrays from these; never announce a negative count.
  if (config.channelsIn < 0) config.channelsIn = 0;
  if (config.channelsOut < 0) config.channelsOut = 0;
  return config;
}

}  // namespace kel
