#include "hosting/plugin_report.h"

#include <cstdio>

#include "formats/parameter_assignment.h"
#include "formats/plugin_id.h"
#include "hosting/display_search.h"
#include "support/command_error.h"

namespace plughost {

std::string flagNames(VstInt32 flags) {
  static const struct {
    VstInt32 bit;
    const char* name;
  } kFlags[] = {{effFlagsHasEditor, "HasEditor"},
                {effFlagsHasClip, "HasClip"},
                {effFlagsHasVu, "HasVu"},
                {effFlagsCanMono, "CanMono"},
                {effFlagsCanReplacing, "CanReplacing"},
                {effFlagsProgramChunks, "ProgramChunks"},
                {effFlagsIsSynth, "IsSynth"},
                {effFlagsNoSoundInStop, "NoSoundInStop"},
                {effFlagsExtIsAsync, "ExtIsAsync"},
                {effFlagsExtHasBuffer, "ExtHasBuffer"}};
  std::string names;
  for (const auto& flag : kFlags) {
    if (flags & flag.bit) names += (names.empty() ? "" : " ") + std::string(flag.name);
  }
  return names.empty() ? "none" : names;
}

void printIdentity(const PluginInstance& plugin) {
  const AEffect* e = plugin.effect();
  std::printf("Effect:     %s\n", plugin.effectName().c_str());
  std::printf("Vendor:     %s\n", plugin.text(effGetVendorString).c_str());
  std::printf("Product:    %s\n", plugin.text(effGetProductString).c_str());
  std::printf("Unique ID:  %s\n", describeId(e->uniqueID).c_str());
  std::printf("Inputs:     %d\n", e->numInputs);
  std::printf("Outputs:    %d\n", e->numOutputs);
  std::printf("Flags:      %d (%s)\n", e->flags, flagNames(e->flags).c_str());
  std::printf("Program:    %s\n", plugin.text(effGetProgramName).c_str());
  std::printf("Parameters: %d\n", e->numParams);
}

void printParameterTable(const PluginInstance& plugin) {
  std::printf("  %-3s %-16s %-8s %-14s %s\n", "#", "Name", "Label", "Display", "Value");
  for (VstInt32 i = 0; i < plugin.effect()->numParams; ++i) {
    std::printf("  %-3d %-16s %-8s %-14s %.6f\n", i, plugin.parameterName(i).c_str(),
                plugin.parameterLabel(i).c_str(), plugin.parameterDisplay(i).c_str(),
                plugin.parameter(i));
  }
  std::fflush(stdout);
}

namespace {

VstInt32 settingIndex(const PluginInstance& plugin, const ParameterAssignment& assignment,
                      const std::string& text) {
  if (assignment.index >= 0) {
    if (assignment.index >= plugin.effect()->numParams) {
      throw CommandError("bad setting '" + text + "': the plug-in has " +
                         std::to_string(plugin.effect()->numParams) + " parameters (#0..#" +
                         std::to_string(plugin.effect()->numParams - 1) + ")");
    }
    return assignment.index;
  }
  const VstInt32 index = plugin.findParameter(assignment.name);
  if (index < 0) {
    throw CommandError("the plug-in has no parameter named '" + assignment.name + "'");
  }
  return index;
}

float settingValue(const PluginInstance& plugin, VstInt32 index,
                   const ParameterAssignment& assignment, const std::string& text) {
  if (assignment.normalised) return assignment.value;
  // The search sets trial values; the setting then sets the one found.
  const float before = plugin.parameter(index);
  const DisplayAt displayAt = [&](float v) {
    plugin.setParameter(index, v);
    return plugin.parameterDisplay(index);
  };
  float value = 0.0f;
  std::string error;
  const bool found =
      findDisplayedValue(assignment.display, plugin.parameterLabel(index), displayAt, value, error);
  if (!found) {
    plugin.setParameter(index, before);
    throw CommandError("bad setting '" + text + "': " + plugin.parameterName(index) + " has " +
                       error);
  }
  return value;
}

}  // namespace

void applySettings(const PluginInstance& plugin, const std::vector<std::string>& settings) {
  for (const std::string& text : settings) {
    applySetting(plugin, text);
  }
  std::fflush(stdout);
}

VstInt32 applySetting(const PluginInstance& plugin, const std::string& text) {
  ParameterAssignment assignment;
  std::string error;
  if (!parseParameterAssignment(text, assignment, error)) throw CommandError(error);
  const VstInt32 index = settingIndex(plugin, assignment, text);
  const float value = settingValue(plugin, index, assignment, text);
  plugin.setParameter(index, value);
  const std::string shown = withLabel(plugin.parameterDisplay(index), plugin.parameterLabel(index));
  std::printf("Set %s = %.6f (%s)\n", plugin.parameterName(index).c_str(), value, shown.c_str());
  return index;
}

}  // namespace plughost
