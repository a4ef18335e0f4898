#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include <cstdio>

#include "commands/commands.h"
#include "formats/pe_width.h"
#include "install/engine_check.h"
#include "install/file_checks.h"
#include "install/install_paths.h"
#include "installation/engine_registration.h"
#include "support/command_error.h"

namespace plughost {
namespace {

struct RegisterOptions {
  std::string guid;
  std::string engine;
};

int runRegister(const RegisterOptions& options) {
  const std::string& guid = options.guid;
  const std::string& engine = options.engine;
  requireGuid(guid);
  const std::string path = fullPath(engine);
  if (!isFile(path)) throw CommandError("engine '" + engine + "' does not exist");
  requireOwnWidth(path, "engine '" + path + "'");
  requireExport(path, "kelMain", "an engine library");
  requireAnsiPath(path, "engine");

  const std::string keyName = installation::engineKeyName(guid);
  const long status = installation::registerEnginePath(guid, path);
  if (status != 0) {
    throw CommandError("cannot write HKEY_LOCAL_MACHINE\\" + keyName + " (error " +
                       std::to_string(status) + "; administrator rights needed?)");
  }
  std::printf("Registered engine %s as HKEY_LOCAL_MACHINE\\%s %s\n", path.c_str(), keyName.c_str(),
              installation::kEnginePathValue);
  return 0;
}

}  // namespace

void addRegisterCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<RegisterOptions>();
  auto* reg = app.add_subcommand("register", "Register an engine library under a GUID");
  reg->add_option("--guid", options->guid, "Engine product GUID")->required();
  reg->add_option("--engine", options->engine, "Engine DLL")->required();
  reg->callback([options, &status] { status = runRegister(*options); });
}

}  // namespace plughost
