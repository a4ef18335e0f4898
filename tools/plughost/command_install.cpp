#include <windows.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "byte_file.h"
#include "command_error.h"
#include "commands.h"
#include "engine_check.h"
#include "ini_text.h"
#include "install_paths.h"
#include "pe_width.h"
#include "plugin_id.h"

namespace plughost {
namespace {

// The most channels install configures: as many as plughost's WAV files hold.
constexpr std::int32_t kMaxChannels = 64;

struct RegisterOptions {
  std::string guid;
  std::string engine;
};

struct InstallOptions {
  std::string plugin;
  std::string directory;
  std::string id;  // number or four characters
  PluginConfig config;
};

std::string fullPath(const std::string& path) {
  char buffer[MAX_PATH];
  const DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
  if (length == 0 || length >= MAX_PATH) throw CommandError("bad path '" + path + "'");
  return buffer;
}

bool isFile(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates `directory` and any missing parents (a full path).
void makeDirectories(const std::string& directory) {
  for (std::size_t i = 1; i <= directory.size(); ++i) {
    if (i == directory.size() || directory[i] == '\\' || directory[i] == '/') {
      CreateDirectoryA(directory.substr(0, i).c_str(), nullptr);  // existing parts just fail
    }
  }
  const DWORD attributes = GetFileAttributesA(directory.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    throw CommandError("cannot create folder '" + directory + "'");
  }
}

void requireExport(const std::string& path, const char* name, const char* what) {
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (!library) throw CommandError("cannot load '" + path + "'");
  const bool found = GetProcAddress(library, name) != nullptr;
  FreeLibrary(library);
  if (!found) {
    throw CommandError("'" + path + "' is not " + what + ": it has no export \"" + name + "\"");
  }
}

int runRegister(const RegisterOptions& options) {
  const std::string& guid = options.guid;
  const std::string& engine = options.engine;
  requireName(guid, "GUID", kNotInGuid);
  const std::string path = fullPath(engine);
  if (!isFile(path)) throw CommandError("engine '" + engine + "' does not exist");
  requireOwnWidth(path, "engine '" + path + "'");
  requireExport(path, "kelMain", "an engine library");

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
  checkInstall(config);
  std::vector<std::uint8_t> image;
  if (!readFileBytes(plugin, image, error)) throw CommandError(error);

  const std::string directory = withoutTrailingSeparators(fullPath(options.directory));
  makeDirectories(directory);
  const std::string target = directory + "\\" + config.name + ".dll";
  const std::string ini = directory + "\\" + config.name + ".ini";
  if (fullPath(target) == plugin) throw CommandError("'" + target + "' is the plug-in itself");
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

void addRegisterCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<RegisterOptions>();
  auto* reg = app.add_subcommand("register", "Register an engine library under a GUID");
  reg->add_option("--guid", options->guid, "Engine product GUID")->required();
  reg->add_option("--engine", options->engine, "Engine DLL")->required();
  reg->callback([options, &status] { status = runRegister(*options); });
}

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
  cmd->callback([install, &status] { status = runInstall(*install); });
}

}  // namespace plughost
