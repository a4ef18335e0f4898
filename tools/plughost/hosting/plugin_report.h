// What plughost prints about a loaded plug-in, and applying "Name=value"
// settings to it.
#pragma once

#include <string>
#include <vector>

#include "hosting/plugin_instance.h"

namespace plughost {

// Name, vendor, product, ID, channels, flags and program name, one per line.
void printIdentity(const PluginInstance& plugin);
// index, name, label, display text and normalised value of every parameter.
void printParameterTable(const PluginInstance& plugin);
// Sets each "Name=value" or "#index=value", the value normalised or a display
// text to find; throws CommandError for a malformed setting, a parameter the
// plug-in does not have or a display it never shows. Prints each setting.
void applySettings(const PluginInstance& plugin, const std::vector<std::string>& settings);
// One such setting; answers the parameter's index.
VstInt32 applySetting(const PluginInstance& plugin, const std::string& text);
// The names of the set flags, e.g. "HasEditor CanReplacing".
std::string flagNames(VstInt32 flags);

}  // namespace plughost
