#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "command_error.h"
#include "commands.h"
#include "fxp_io.h"
#include "plugin_id.h"
#include "plugin_instance.h"
#include "plugin_report.h"

namespace plughost {
namespace {

constexpr VstInt32 kProgramChunk = 1;  // index of effGetChunk / effSetChunk: one program

std::string describeId(std::int32_t id) {
  const std::string chars = pluginIdChars(id);
  return std::to_string(id) + (chars.empty() ? "" : " ('" + chars + "')");
}

void requireChunks(const PluginInstance& plugin) {
  if (!(plugin.effect()->flags & effFlagsProgramChunks)) {
    throw CommandError("'" + plugin.path() + "' does not keep its programs as chunks");
  }
}

int runPresetSave(const std::string& plugin, const std::string& file,
                  const std::vector<std::string>& settings) {
  PluginInstance instance(plugin);
  requireChunks(instance);
  applySettings(instance, settings);

  void* data = nullptr;
  const VstIntPtr size = instance.dispatch(effGetChunk, kProgramChunk, 0, &data);
  if (size < 0 || (size > 0 && !data)) throw CommandError("the plug-in gave no program chunk");
  FxpProgram program;
  program.pluginId = instance.effect()->uniqueID;
  program.pluginVersion = instance.effect()->version;
  program.parameterCount = instance.effect()->numParams;
  program.name = instance.text(effGetProgramName);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  program.chunk.assign(bytes, bytes + size);

  std::string error;
  if (!writeFxpFile(file, program, error)) throw CommandError(error);
  std::printf("Saved program '%s' of %s (ID %s), %d chunk bytes, to %s\n", program.name.c_str(),
              instance.effectName().c_str(), describeId(program.pluginId).c_str(),
              static_cast<int>(size), file.c_str());
  return 0;
}

int runPresetLoad(const std::string& plugin, const std::string& file) {
  FxpProgram program;
  std::string error;
  if (!readFxpFile(file, program, error)) throw CommandError(error);
  PluginInstance instance(plugin);
  requireChunks(instance);
  if (program.pluginId != instance.effect()->uniqueID) {
    throw CommandError("preset '" + file + "' belongs to plug-in ID " +
                       describeId(program.pluginId) + ", not to " + instance.effectName() +
                       " (ID " + describeId(instance.effect()->uniqueID) + ")");
  }
  instance.dispatch(effSetChunk, kProgramChunk, static_cast<VstIntPtr>(program.chunk.size()),
                    program.chunk.data());
  if (!program.name.empty()) {
    std::string name = program.name;
    instance.dispatch(effSetProgramName, 0, 0, &name[0]);
  }
  std::printf("Loaded program '%s' (%d chunk bytes) into %s\n", program.name.c_str(),
              static_cast<int>(program.chunk.size()), instance.effectName().c_str());
  printParameterTable(instance);
  return 0;
}

struct PresetOptions {
  std::string plugin;
  std::string file;
  std::vector<std::string> settings;
};

}  // namespace

void addPresetCommand(CLI::App& app, int& status) {
  auto options = std::make_shared<PresetOptions>();
  auto* preset = app.add_subcommand("preset", "Save or load a program file (.fxp)");
  preset->require_subcommand(1);
  auto* save = preset->add_subcommand("save", "Save the plug-in's program to a file");
  save->add_option("dll", options->plugin, "Plug-in DLL")->required();
  save->add_option("file", options->file, "Program file to write")->required();
  save->add_option("--set", options->settings, "Parameter setting NAME=VALUE (0..1) before saving");
  save->callback([options, &status] {
    status = runPresetSave(options->plugin, options->file, options->settings);
  });
  auto* load = preset->add_subcommand("load", "Load a program file and show the parameters");
  load->add_option("dll", options->plugin, "Plug-in DLL")->required();
  load->add_option("file", options->file, "Program file to read")->required();
  load->callback([options, &status] { status = runPresetLoad(options->plugin, options->file); });
}

}  // namespace plughost
