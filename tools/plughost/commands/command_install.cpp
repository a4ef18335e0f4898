#include <windows.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <cstdio>

#include "commands/commands.h"
#include "formats/byte_file.h"
#include "formats/pe_width.h"
#include "install/bridge_identity.h"
#include "install/engine_check.h"
#include "install/file_checks.h"
#include "install/install_paths.h"
#include "installation/effect_settings.h"
#include "installation/installation_rules.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/option_checks.h"

namespace plughost {
namespace {

struct InstallOptions {
  std::string plugin;
  std::string directory;
  std::string name;
  std::string guid;
  std::string id;  // number or four characters
  std::int32_t processIndex = 0;
  std::int32_t channelsIn = 2;
  std::int32_t channelsOut = 2;
  bool force = false;         // replace whatever lies at the target
  std::string vendor;         // empty: the bridge's own vendor name
  std::string vendorVersion;  // empty: none
};

// The settings file's fields, each checked by the installation's rules.
installation::EffectSettings checkedSettings(const InstallOptions& options) {
  requireEffectName(options.name);
  requireGuid(options.guid);
  installation::EffectSettings settings;
  std::string error;
  if (!installation::parseUniqueId(options.id, settings.uniqueId, error)) throw CommandError(error);
  // The rules' reasons, with the option and the value the user gave.
  const std::pair<const char*, std::int32_t> counts[] = {{"--channels-in", options.channelsIn},
                                                         {"--channels-out", options.channelsOut}};
  for (const auto& count : counts) {
    const std::string problem = installation::channelCountProblem(count.second);
    if (!problem.empty()) {
      throw CommandError(std::string(count.first) + " " + std::to_string(count.second) + ": " +
                         problem);
    }
  }
  const std::string problem = installation::processIndexProblem(options.processIndex);
  if (!problem.empty()) {
    throw CommandError("--process-index " + std::to_string(options.processIndex) + ": " + problem);
  }
  // Both texts were checked to fit.
  options.name.copy(settings.name, sizeof settings.name - 1);
  options.guid.copy(settings.guid, sizeof settings.guid - 1);
  settings.channelsIn = options.channelsIn;
  settings.channelsOut = options.channelsOut;
  settings.processIndex = options.processIndex;
  if (!options.vendor.empty()) {
    const std::string vendorProblem = installation::vendorNameProblem(options.vendor);
    if (!vendorProblem.empty()) {
      throw CommandError("vendor '" + options.vendor + "' " + vendorProblem);
    }
    options.vendor.copy(settings.vendor, sizeof settings.vendor - 1);
  }
  if (!options.vendorVersion.empty() &&
      !installation::parseVendorVersion(options.vendorVersion, settings.vendorVersion, error)) {
    throw CommandError(error);
  }
  return settings;
}

// The engine must serve the processor with the counts asked for.
void checkEngine(const installation::EffectSettings& settings) {
  EngineCheck check;
  check.checkChannels = true;
  check.channelsIn = settings.channelsIn;
  check.channelsOut = settings.channelsOut;
  const std::string problem = engineProblem(settings, check);
  if (!problem.empty()) throw CommandError(problem);
}

// Everything is checked before a byte is written.
int runInstall(const InstallOptions& options) {
  const installation::EffectSettings settings = checkedSettings(options);
  const std::string plugin = fullPath(options.plugin);
  if (!isFile(plugin)) throw CommandError("plug-in '" + options.plugin + "' does not exist");
  requireOwnWidth(plugin, "plug-in '" + plugin + "'");
  requireRegisteredEngineOfOwnWidth(options.guid);
  requireExport(plugin, "main", "a VST 2 plug-in");
  // Another plug-in copied under an effect's name would come up as itself,
  // with its own ID and no name of ours.
  if (!isBridgeImage(plugin)) {
    throw CommandError("plug-in '" + plugin +
                       "' is not the kelbridge plug-in: install copies only the bridge");
  }
  checkEngine(settings);
  std::string error;
  std::vector<std::uint8_t> image;
  if (!readFileBytes(plugin, image, error)) throw CommandError(error);

  const std::string directory = withoutTrailingSeparators(fullPath(options.directory));
  requireAnsiPath(directory + "\\" + options.name + ".dll", "effect");
  makeDirectories(directory);
  const std::string target = directory + "\\" + options.name + ".dll";
  const std::string ini = installation::settingsPathFor(target);
  CommandFiles files;
  files.input(plugin);
  files.output(target, "effect");
  files.output(ini, "effect settings");
  files.check();
  const std::string problem = replacementProblem(target, settings);
  if (!problem.empty() && !options.force) {
    throw CommandError(problem + ": not replaced (--force replaces it)");
  }
  // Both files are written whole before either takes its name, so a host's
  // scan never meets a cut DLL or a DLL without its .ini.
  const std::string text = installation::settingsText(settings);
  StagedFiles staged;
  if (!staged.stage(ini, std::vector<std::uint8_t>(text.begin(), text.end()), error) ||
      !staged.stage(target, image, error) || !staged.commit(error)) {
    throw CommandError(error);
  }
  // An earlier copy whose name differs only in letter case ("Bar" for
  // "BAR") was replaced in place and kept its name; the files take the case
  // of the name given, which the .ini now holds, and the line names them as
  // they are.
  const std::string installedIni = matchNameCase(ini);
  const std::string installed = matchNameCase(target);
  std::printf("Installed %s (ID %d, process index %d, %d in / %d out) as %s with %s\n",
              settings.name, settings.uniqueId, settings.processIndex, settings.channelsIn,
              settings.channelsOut, installed.c_str(), installedIni.c_str());
  return 0;
}

}  // namespace

void addInstallCommand(CLI::App& app, int& status) {
  auto install = std::make_shared<InstallOptions>();
  auto* cmd = app.add_subcommand("install", "Install a named copy of the plug-in with its .ini");
  cmd->add_option("--plugin", install->plugin, "Plug-in DLL to copy")->required();
  cmd->add_option("--dir", install->directory, "Destination folder")->required();
  cmd->add_option("--name", install->name, "Effect name (also the file name)")->required();
  cmd->add_option("--guid", install->guid, "Engine product GUID")->required();
  cmd->add_option("--id", install->id, "Unique ID: a number or four characters")->required();
  cmd->add_option("--process-index", install->processIndex, "Engine processor index")
      ->required()
      ->check(wholeNumber());
  cmd->add_option("--channels-in", install->channelsIn, "Input channels")
      ->capture_default_str()
      ->check(wholeNumber());
  cmd->add_option("--channels-out", install->channelsOut, "Output channels")
      ->capture_default_str()
      ->check(wholeNumber());
  cmd->add_flag("--force", install->force,
                "Replace files at the target that are not an earlier copy of this effect");
  cmd->add_option("--vendor", install->vendor,
                  "Vendor name hosts show (default: the plug-in's own, Velmora)");
  cmd->add_option("--vendor-version", install->vendorVersion,
                  "Version number hosts read, 0..2147483647 (default: none)");
  cmd->callback([install, &status] { status = runInstall(*install); });
}

}  // namespace plughost
