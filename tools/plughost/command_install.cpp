#include <windows.h>

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "command_error.h"
#include "commands.h"
#include "ini_text.h"
#include "plugin_id.h"

namespace plughost {
namespace {

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

void requireName(const std::string& value, const char* what, const char* forbidden) {
  if (value.empty() || value.find_first_of(forbidden) != std::string::npos) {
    throw CommandError(std::string("bad ") + what + " '" + value + "'");
  }
}

int runRegister(const RegisterOptions& options) {
  const std::string& guid = options.guid;
  const std::string& engine = options.engine;
  requireName(guid, "GUID", "\\/\r\n");
  const std::string path = fullPath(engine);
  if (!isFile(path)) throw CommandError("engine '" + engine + "' does not exist");
  requireExport(path, "kelMain", "an engine library");

  const std::string keyName = "Software\\KEL\\" + guid;
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

int runInstall(const InstallOptions& options) {
  PluginConfig config = options.config;
  requireName(config.name, "effect name", "\\/:*?\"<>|");
  requireName(config.guid, "GUID", "\\/\r\n");
  std::string error;
  if (!parsePluginId(options.id, config.id, error)) throw CommandError(error);
  if (config.channelsIn < 0 || config.channelsOut < 0) {
    throw CommandError("channel counts must not be negative");
  }
  const std::string plugin = fullPath(options.plugin);
  if (!isFile(plugin)) throw CommandError("plug-in '" + options.plugin + "' does not exist");
  requireExport(plugin, "main", "a VST 2 plug-in");

  std::string directory = fullPath(options.directory);
  while (directory.size() > 3 && (directory.back() == '\\' || directory.back() == '/')) {
    directory.pop_back();
  }
  makeDirectories(directory);
  const std::string target = directory + "\\" + config.name + ".dll";
  const std::string ini = directory + "\\" + config.name + ".ini";
  if (!CopyFileA(plugin.c_str(), target.c_str(), FALSE)) {
    throw CommandError("cannot copy the plug-in to '" + target + "'");
  }
  const std::string text = pluginIniText(config);
  FILE* file = std::fopen(ini.c_str(), "wb");
  const bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file) std::fclose(file);
  if (!written) throw CommandError("cannot write '" + ini + "'");
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
