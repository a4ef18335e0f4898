// The plughost commands. Each command file adds its own subcommand, with its
// own options, to the parser; its callback stores the process exit status in
// `status` and throws CommandError for a failure the user should read about.
#pragma once

namespace CLI {
class App;
}

namespace plughost {

void addInfoCommand(CLI::App& app, int& status);
void addRenderCommand(CLI::App& app, int& status);
void addAnalyzeCommand(CLI::App& app, int& status);
void addPresetCommand(CLI::App& app, int& status);
void addEditCommand(CLI::App& app, int& status);
void addRegisterCommand(CLI::App& app, int& status);
void addInstallCommand(CLI::App& app, int& status);
void addUninstallCommand(CLI::App& app, int& status);
void addUnregisterCommand(CLI::App& app, int& status);

}  // namespace plughost
