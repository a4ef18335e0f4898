#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>

#include "commands/commands.h"
#include "install/install_paths.h"
#include "installation/engine_registration.h"
#include "platform/platform.h"
#include "support/command_error.h"

namespace plughost {
namespace {

int runUnregister(const std::string& guid) {
  requireGuid(guid);
  const std::string keyName = installation::engineKeyName(guid);
  if (!platform::RegistryKey().open(nullptr, keyName.c_str())) {
    throw CommandError("engine GUID '" + guid + "' is not registered");
  }
  const long status = installation::unregisterEngine(guid);
  if (status != 0) {
    throw CommandError("cannot remove HKEY_LOCAL_MACHINE\\" + keyName + " (error " +
                       std::to_string(status) + "; administrator rights needed?)");
  }
  std::printf("Unregistered engine GUID %s (removed HKEY_LOCAL_MACHINE\\%s)\n", guid.c_str(),
              keyName.c_str());
  return 0;
}

}  // namespace

void addUnregisterCommand(CLI::App& app, int& status) {
  auto guid = std::make_shared<std::string>();
  auto* cmd = app.add_subcommand("unregister", "Remove an engine's registration");
  cmd->add_option("--guid", *guid, "Engine product GUID")->required();
  cmd->callback([guid, &status] { status = runUnregister(*guid); });
}

}  // namespace plughost
