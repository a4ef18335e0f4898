// What plughost prints about a loaded plug-in, and applying "Name=value"
// settings to it.
#pragma once

#include <string>
#include <vector>

#include "plugin_instance.h"

namespace plughost {

// Name, vendor, product, ID, channels, flags and program name, one per line.
void printIdentity(const PluginInstance& plugin);
// index, name, label, display text and normalised value of every parameter.
void printParameterTable(const PluginInstance& plugin);
// Sets each "Name=value"; throws CommandError for a malformed setting or a
// name the plug-in does not have. Prints each applied setting.
void applySettings(const PluginInstance& plugin, const std::vector<std::string>& settings);
// The names of the set flags, e.g. "HasEditor CanReplacing".
std::string flagNames(VstInt32 flags);

}  // namespace plughost
