#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include <cstdio>

#include "commands/commands.h"
#include "formats/fxp_io.h"
#include "formats/plugin_id.h"
#include "hosting/plugin_instance.h"
#include "hosting/plugin_report.h"
#include "hosting/program_file.h"
#include "support/command_error.h"
#include "support/file_policy.h"

namespace plughost {
namespace {

int runPresetSave(const std::string& plugin, const std::string& file,
                  const std::vector<std::string>& settings) {
  CommandFiles files;
  files.input(plugin);
  files.output(file, "program file");
  files.check();
  PluginInstance instance(plugin);
  requireChunks(instance);
  applySettings(instance, settings);

  FxpProgram program;
  program.chunk = programChunk(instance);
  program.pluginId = instance.effect()->uniqueID;
  program.pluginVersion = instance.effect()->version;
  program.parameterCount = instance.effect()->numParams;
  program.name = instance.text(effGetProgramName);

  std::string error;
  if (!writeFxpFile(file, program, error)) throw CommandError(error);
  std::printf("Saved program '%s' of %s (ID %s), %d chunk bytes, to %s\n", program.name.c_str(),
              instance.effectName().c_str(), describeId(program.pluginId).c_str(),
              static_cast<int>(program.chunk.size()), file.c_str());
  return 0;
}

int runPresetLoad(const std::string& plugin, const std::string& file) {
  // The file is read before the plug-in loads, so a bad file costs no load.
  const FxpProgram program = readProgramFile(file);
  PluginInstance instance(plugin);
  applyProgram(instance, program, file);
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
