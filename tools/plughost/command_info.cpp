#include "commands.h"
#include "plugin_instance.h"
#include "plugin_report.h"

namespace plughost {

int runInfo(const std::string& plugin) {
  PluginInstance instance(plugin);
  printIdentity(instance);
  printParameterTable(instance);
  return 0;
}

}  // namespace plughost
