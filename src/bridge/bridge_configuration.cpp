#include "bridge/bridge_configuration.h"

#include "platform/platform.h"

namespace bridge {

installation::EffectSettings readBridgeConfiguration(void* module) {
  char libraryPath[installation::kPathSize];
  char settingsPath[installation::kPathSize];
  if (!platform::moduleFileName(module, libraryPath, sizeof libraryPath) ||
      !installation::settingsPathFor(libraryPath, settingsPath, sizeof settingsPath)) {
    return installation::EffectSettings{};
  }
  return installation::readEffectSettings(settingsPath);
}

}  // namespace bridge
