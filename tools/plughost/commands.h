// The plughost subcommands. Each returns the process exit status and throws
// CommandError for a failure the user should read about.
#pragma once

#include <string>
#include <vector>

#include "ini_text.h"

namespace plughost {

struct RenderOptions {
  std::string plugin;
  std::string input;     // WAV file, or empty to generate
  std::string generate;  // sine, noise or silence
  std::string output;
  double seconds = 0.0;  // 0: the input file's length (generated signals need a length)
  int blockSize = 512;
  int sampleRate = 44100;        // for generated input; a WAV input keeps its own rate
  std::string format = "float";  // float or pcm16
  std::vector<std::string> settings;
  std::vector<std::string> notes;
};

struct EditOptions {
  std::string plugin;
  std::string screenshot;  // PNG path, or empty
  double seconds = 0.0;    // 0: until the window is closed (2 s with a screenshot)
};

struct InstallOptions {
  std::string plugin;
  std::string directory;
  std::string id;  // number or four characters
  PluginConfig config;
};

int runInfo(const std::string& plugin);
int runRender(const RenderOptions& options);
int runPresetSave(const std::string& plugin, const std::string& file,
                  const std::vector<std::string>& settings);
int runPresetLoad(const std::string& plugin, const std::string& file);
int runEdit(const EditOptions& options);
int runRegister(const std::string& guid, const std::string& engine);
int runInstall(const InstallOptions& options);

}  // namespace plughost
