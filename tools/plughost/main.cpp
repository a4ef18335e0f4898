// plughost: loads a VST 2 plug-in as a host does and shows, renders, saves,
// restores or opens it; also registers engines and installs named copies of
// the bridge plug-in.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "command_error.h"
#include "commands.h"

namespace {

int fail(const std::string& message) {
  std::fprintf(stderr, "plughost: error: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace plughost;
  CLI::App app{"plughost - a command-line host for VST 2 plug-ins"};
  app.require_subcommand(1);
  // Paths such as /tmp/x.dll are arguments, not "/option" switches.
  app.allow_windows_style_options(false);
  int status = 0;

  std::string plugin;
  std::vector<std::string> settings;

  auto* info = app.add_subcommand("info", "Show a plug-in's identity and parameters");
  info->add_option("dll", plugin, "Plug-in DLL")->required();
  info->callback([&] { status = runInfo(plugin); });

  RenderOptions render;
  auto* renderCmd = app.add_subcommand("render", "Process audio through a plug-in into a WAV file");
  renderCmd->add_option("dll", render.plugin, "Plug-in DLL")->required();
  auto* in =
      renderCmd->add_option("--in", render.input, "Input WAV (16/24-bit PCM or 32-bit float)");
  auto* generate = renderCmd->add_option("--generate", render.generate, "Generated input")
                       ->check(CLI::IsMember({"sine", "noise", "silence"}));
  in->excludes(generate);
  renderCmd->add_option("--seconds", render.seconds, "Length in seconds (default: the input's)")
      ->check(CLI::PositiveNumber);
  renderCmd->add_option("--out", render.output, "Output WAV")->required();
  renderCmd->add_option("--block", render.blockSize, "Block size in frames")
      ->capture_default_str()
      ->check(CLI::Range(1, 65536));
  renderCmd->add_option("--rate", render.sampleRate, "Sample rate of generated input")
      ->capture_default_str()
      ->check(CLI::Range(8000, 384000));
  renderCmd->add_option("--format", render.format, "Output samples")
      ->capture_default_str()
      ->check(CLI::IsMember({"float", "pcm16"}));
  renderCmd->add_option("--set", render.settings, "Parameter setting NAME=VALUE (0..1)");
  renderCmd->add_option("--note", render.notes, "MIDI note NOTE[:VELOCITY]@START-END seconds");
  renderCmd->callback([&] { status = runRender(render); });

  std::string presetFile;
  auto* preset = app.add_subcommand("preset", "Save or load a program file (.fxp)");
  preset->require_subcommand(1);
  auto* save = preset->add_subcommand("save", "Save the plug-in's program to a file");
  save->add_option("dll", plugin, "Plug-in DLL")->required();
  save->add_option("file", presetFile, "Program file to write")->required();
  save->add_option("--set", settings, "Parameter setting NAME=VALUE (0..1) before saving");
  save->callback([&] { status = runPresetSave(plugin, presetFile, settings); });
  auto* load = preset->add_subcommand("load", "Load a program file and show the parameters");
  load->add_option("dll", plugin, "Plug-in DLL")->required();
  load->add_option("file", presetFile, "Program file to read")->required();
  load->callback([&] { status = runPresetLoad(plugin, presetFile); });

  EditOptions edit;
  auto* editCmd = app.add_subcommand("edit", "Open the plug-in's editor in a window");
  editCmd->add_option("dll", edit.plugin, "Plug-in DLL")->required();
  editCmd->add_option("--screenshot", edit.screenshot, "Write the window's picture to a PNG");
  editCmd->add_option("--seconds", edit.seconds, "Close after this many seconds")
      ->check(CLI::PositiveNumber);
  editCmd->callback([&] { status = runEdit(edit); });

  std::string guid;
  std::string engine;
  auto* reg = app.add_subcommand("register", "Register an engine library under a GUID");
  reg->add_option("--guid", guid, "Engine product GUID")->required();
  reg->add_option("--engine", engine, "Engine DLL")->required();
  reg->callback([&] { status = runRegister(guid, engine); });

  InstallOptions install;
  auto* inst = app.add_subcommand("install", "Install a named copy of the plug-in with its .ini");
  inst->add_option("--plugin", install.plugin, "Plug-in DLL to copy")->required();
  inst->add_option("--dir", install.directory, "Destination folder")->required();
  inst->add_option("--name", install.config.name, "Effect name (also the file name)")->required();
  inst->add_option("--guid", install.config.guid, "Engine product GUID")->required();
  inst->add_option("--id", install.id, "Unique ID: a number or four characters")->required();
  inst->add_option("--process-index", install.config.processIndex, "Engine processor index")
      ->required();
  inst->add_option("--channels-in", install.config.channelsIn, "Input channels")
      ->capture_default_str();
  inst->add_option("--channels-out", install.config.channelsOut, "Output channels")
      ->capture_default_str();
  inst->callback([&] { status = runInstall(install); });

  if (argc > 1 && argv[1][0] != '-') {
    const std::string command = argv[1];
    const auto commands = app.get_subcommands([](CLI::App*) { return true; });
    if (std::none_of(commands.begin(), commands.end(),
                     [&](CLI::App* c) { return c->get_name() == command; })) {
      return fail("unknown command '" + command +
                  "' (use info, render, preset, edit, register or install)");
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    return fail(e.what());
  } catch (const CommandError& e) {
    return fail(e.what());
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  return status;
}
