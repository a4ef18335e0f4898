#include "install/ini_text.h"

namespace plughost {

std::string pluginIniText(const PluginConfig& config) {
  std::string text;
  text += "[KEL]\r\n";
  text += "GUID=" + config.guid + "\r\n";
  text += "ChannelsIn=" + std::to_string(config.channelsIn) + "\r\n";
  text += "ChannelsOut=" + std::to_string(config.channelsOut) + "\r\n";
  text += "ID=" + std::to_string(config.id) + "\r\n";
  text += "ProcessIndex=" + std::to_string(config.processIndex) + "\r\n";
  text += "\r\n[VST]\r\n";
  text += "Name=" + config.name + "\r\n";
  return text;
}

}  // namespace plughost
