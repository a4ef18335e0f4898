// The .ini file written beside an installed copy of the plug-in, which the
// plug-in reads to find its engine, processor and identity.
#pragma once

#include <cstdint>
#include <string>

namespace plughost {

struct PluginConfig {
  std::string guid;
  std::string name;
  std::int32_t channelsIn = 2;
  std::int32_t channelsOut = 2;
  std::int32_t id = 0;
  std::int32_t processIndex = 0;
};

// Sections [KEL] (GUID, ChannelsIn, ChannelsOut, ID, ProcessIndex) and [VST]
// (Name), with Windows line ends.
std::string pluginIniText(const PluginConfig& config);

}  // namespace plughost
