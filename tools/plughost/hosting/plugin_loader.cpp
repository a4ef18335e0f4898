#include "hosting/plugin_loader.h"

#include <windows.h>

#include "install/engine_check.h"
#include "install/file_checks.h"
#include "installation/effect_settings.h"
#include "support/system_message.h"
#include "support/utf8_path.h"

namespace plughost {

std::string PluginLoader::load(const std::string& path) {
  unload();
  if (!library_.load(wideText(path).c_str())) {
    return "cannot load plug-in '" + path + "': " + systemMessage(GetLastError(), path);
  }
  entry_ = reinterpret_cast<PluginMain>(library_.symbol("main"));
  if (!entry_) {
    library_.unload();
    return "'" + path + "' is not a VST 2 plug-in: it has no export \"main\"";
  }
  return "";
}

void PluginLoader::unload() {
  entry_ = nullptr;
  library_.unload();
}

std::string engineAbsenceReason(const std::string& path) {
  // Its settings file is read through the same ANSI path, so nothing else
  // can be told about it.
  if (!isAnsiPath(path)) {
    return "the plug-in reads its folder through the system's ANSI code page (" +
           std::to_string(GetACP()) + "), which lacks characters of this path";
  }
  const std::string settingsPath = installation::settingsPathFor(path);
  if (installation::hasEffectSettings(settingsPath.c_str())) {
    const installation::EffectSettings settings =
        installation::readEffectSettings(settingsPath.c_str());
    std::string enginePath;
    const std::string registry = registryProblem(settings.guid, enginePath);
    return registry.empty() ? engineProblem(settings, EngineCheck{}) : registry;
  }
  return isFile(settingsPath)
             ? "its configuration file '" + settingsPath + "' has no [KEL] settings"
             : "it has no configuration file (.ini) beside it";
}

std::string registryReasonBeforeLoading(const std::string& path) {
  const std::string settingsPath = installation::settingsPathFor(path);
  if (!installation::hasEffectSettings(settingsPath.c_str())) return "";
  const installation::EffectSettings settings =
      installation::readEffectSettings(settingsPath.c_str());
  std::string enginePath;
  return registryProblem(settings.guid, enginePath);
}

}  // namespace plughost
