#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "hosting/plugin_instance.h"
#include "hosting/plugin_report.h"
#include "support/file_policy.h"

namespace plughost {
namespace {

int runInfo(const std::string& plugin) {
  CommandFiles files;
  files.input(plugin);
  files.check();
  PluginInstance instance(plugin);
  printIdentity(instance);
  printParameterTable(instance);
  return 0;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& status) {
  auto plugin = std::make_shared<std::string>();
  auto* info = app.add_subcommand("info", "Show a plug-in's identity and parameters");
  info->add_option("dll", *plugin, "Plug-in DLL")->required();
  info->callback([plugin, &status] { status = runInfo(*plugin); });
}

}  // namespace plughost
