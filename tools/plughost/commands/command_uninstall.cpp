#include <windows.h>

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "commands/commands.h"
#include "install/bridge_identity.h"
#include "install/install_paths.h"
#include "installation/effect_settings.h"
#include "support/command_error.h"
#include "support/file_policy.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

struct UninstallOptions {
  std::string directory;
  std::string name;
};

// Removes NAME.dll and NAME.ini, but only a pair that install made: the .ini
// must be a bridge configuration, so no other plug-in is ever deleted.
int runUninstall(const UninstallOptions& options) {
  requireEffectName(options.name);
  const std::string directory = withoutTrailingSeparators(options.directory);
  const DWORD attributes = GetFileAttributesW(wideText(directory).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw CommandError("there is no folder '" + options.directory + "'");
  }
  const std::string dll = directory + "\\" + options.name + ".dll";
  const std::string ini = installation::settingsPathFor(dll);
  if (GetFileAttributesW(wideText(ini).c_str()) == INVALID_FILE_ATTRIBUTES) {
    throw CommandError("there is no effect named '" + options.name + "' in '" + options.directory +
                       "' (no " + options.name + ".ini)");
  }
  // The same rule as install's: only an effect copy of the bridge is ours.
  const std::string problem = removalProblem(dll);
  if (!problem.empty()) {
    throw CommandError(problem + ": nothing removed");
  }
  // A name that is a link to a file in another folder is not ours to
  // remove, and neither file goes when either is one.
  requireInFolder(directory, ini);
  const bool hadDll = identify(dll).exists;
  if (hadDll) requireInFolder(directory, dll);
  // The DLL goes first: a host's scan must never find it without its .ini.
  if (hadDll) removeFileChecked(dll);
  removeFileChecked(ini);
  if (hadDll) {
    std::printf("Uninstalled %s: removed %s and %s\n", options.name.c_str(), dll.c_str(),
                ini.c_str());
  } else {
    std::printf("Uninstalled %s: removed %s (there was no %s)\n", options.name.c_str(), ini.c_str(),
                dll.c_str());
  }
  return 0;
}

}  // namespace

void addUninstallCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<UninstallOptions>();
  auto* cmd = app.add_subcommand("uninstall", "Remove an installed effect's copy and .ini");
  cmd->add_option("--dir", options->directory, "Folder the effect was installed into")->required();
  cmd->add_option("--name", options->name, "Effect name given to install")->required();
  cmd->callback([options, &status] { status = runUninstall(*options); });
}

}  // namespace plughost
