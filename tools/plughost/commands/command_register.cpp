#include <windows.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include <cstdio>

#include "commands/commands.h"
#include "formats/pe_width.h"
#include "install/engine_check.h"
#include "install/file_checks.h"
#include "install/install_paths.h"
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
  requireName(guid, "GUID", kNotInGuid);
  const std::string path = fullPath(engine);
  if (!isFile(path)) throw CommandError("engine '" + engine + "' does not exist");
  requireOwnWidth(path, "engine '" + path + "'");
  requireExport(path, "kelMain", "an engine library");
  requireAnsiPath(path, "engine");

  const std::string keyName = engineKeyName(guid);
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                            static_cast<DWORD>(path.size() + 1));
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS) {
    throw CommandError("cannot write HKEY_LOCAL_MACHINE\\" + keyName + " (error " +
                       std::to_string(status) + "; administrator rights needed?)");
  }
  std::printf("Registered engine %s as HKEY_LOCAL_MACHINE\\%s PathName\n", path.c_str(),
              keyName.c_str());
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
