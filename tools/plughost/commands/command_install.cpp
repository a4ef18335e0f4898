#include <windows.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "commands/commands.h"
#include "formats/byte_file.h"
#include "formats/pe_width.h"
#include "formats/plugin_id.h"
#include "install/bridge_identity.h"
#include "install/engine_check.h"
#include "install/file_checks.h"
#include "install/ini_text.h"
#include "install/install_paths.h"
#include "support/command_error.h"

namespace plughost {
namespace {

// The most channels install configures: as many as plughost's WAV files hold.
constexpr std::int32_t kMaxChannels = 64;

struct InstallOptions {
  std::string plugin;
  std::string directory;
  std::string id;  // number or four characters
  PluginConfig config;
  bool force = false;  // replace whatever lies at the target
};

// Everything install checks before it writes a byte.
void checkInstall(const PluginConfig& config) {
  if (config.id == 0) throw CommandError("ID 0 is no ID: hosts tell effects apart by it");
  if (config.channelsIn < 0 || config.channelsOut < 0 || config.channelsIn > kMaxChannels ||
      config.channelsOut > kMaxChannels) {
    throw CommandError("channel counts must lie within 0.." + std::to_string(kMaxChannels));
  }
  if (config.processIndex < 0) throw CommandError("the process index must not be negative");
  EngineCheck check;
  check.checkChannels = true;
  check.channelsIn = config.channelsIn;
  check.channelsOut = config.channelsOut;
  const std::string problem = engineProblem(config, check);
  if (!problem.empty()) throw CommandError(problem);
}

int runInstall(const InstallOptions& options) {
  PluginConfig config = options.config;
  requireName(config.name, "effect name", kNotInEffectName);
  requireName(config.guid, "GUID", kNotInGuid);
  std::string error;
  if (!parsePluginId(options.id, config.id, error)) throw CommandError(error);
  const std::string plugin = fullPath(options.plugin);
  if (!isFile(plugin)) throw CommandError("plug-in '" + options.plugin + "' does not exist");
  requireOwnWidth(plugin, "plug-in '" + plugin + "'");
  requireRegisteredEngineOfOwnWidth(config.guid);
  requireExport(plugin, "main", "a VST 2 plug-in");
  // Another plug-in copied under an effect's name would come up as itself,
  // with its own ID and no name of ours.
  if (!isBridgeImage(plugin)) {
    throw CommandError("plug-in '" + plugin +
                       "' is not the kelbridge plug-in: install copies only the bridge");
  }
  checkInstall(config);
  std::vector<std::uint8_t> image;
  if (!readFileBytes(plugin, image, error)) throw CommandError(error);

  const std::string directory = withoutTrailingSeparators(fullPath(options.directory));
  requireAnsiPath(directory + "\\" + config.name + ".dll", "effect");
  makeDirectories(directory);
  const std::string target = directory + "\\" + config.name + ".dll";
  const std::string ini = directory + "\\" + config.name + ".ini";
  if (fullPath(target) == plugin) throw CommandError("'" + target + "' is the plug-in itself");
  const std::string problem = replacementProblem(target, config);
  if (!problem.empty() && !options.force) {
    throw CommandError(problem + ": not replaced (--force replaces it)");
  }
  // Both files are written whole before either takes its name, so a host's
  // scan never meets a cut DLL or a DLL without its .ini.
  const std::string text = pluginIniText(config);
  StagedFiles files;
  if (!files.stage(ini, std::vector<std::uint8_t>(text.begin(), text.end()), error) ||
      !files.stage(target, image, error) || !files.commit(error)) {
    throw CommandError(error);
  }
  std::printf("Installed %s (ID %d, process index %d, %d in / %d out) as %s with %s\n",
              config.name.c_str(), config.id, config.processIndex, config.channelsIn,
              config.channelsOut, target.c_str(), ini.c_str());
  return 0;
}

}  // namespace

void addInstallCommand(CLI::App& app, int& status) {
  auto install = std::make_shared<InstallOptions>();
  auto* cmd = app.add_subcommand("install", "Install a named copy of the plug-in with its .ini");
  cmd->add_option("--plugin", install->plugin, "Plug-in DLL to copy")->required();
  cmd->add_option("--dir", install->directory, "Destination folder")->required();
  cmd->add_option("--name", install->config.name, "Effect name (also the file name)")->required();
  cmd->add_option("--guid", install->config.guid, "Engine product GUID")->required();
  cmd->add_option("--id", install->id, "Unique ID: a number or four characters")->required();
  cmd->add_option("--process-index", install->config.processIndex, "Engine processor index")
      ->required();
  cmd->add_option("--channels-in", install->config.channelsIn, "Input channels")
      ->capture_default_str();
  cmd->add_option("--channels-out", install->config.channelsOut, "Output channels")
      ->capture_default_str();
  cmd->add_flag("--force", install->force,
                "Replace files at the target that are not an earlier copy of this effect");
  cmd->callback([install, &status] { status = runInstall(*install); });
}

}  // namespace plughost
