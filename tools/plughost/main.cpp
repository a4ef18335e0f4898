// plughost: loads a VST 2 plug-in as a host does and shows, renders, saves,
// restores or opens it; also registers engines and installs named copies of
// the bridge plug-in. This file lies above commands/ and validate/: the
// command list is assembled here, where every command is visible.
#include <windows.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "hosting/crash_guard.h"
#include "platform/platform.h"
#include "support/command_error.h"
#include "support/utf8_path.h"
#include "validate/validate_command.h"

namespace {

// The program's arguments in UTF-8, from the UTF-16 command line.
std::vector<std::string> commandLineArguments() {
  std::vector<std::string> arguments;
  for (const std::wstring& wide : platform::commandLineArguments()) {
    arguments.push_back(plughost::utf8Text(wide));
  }
  if (arguments.empty()) arguments.push_back("plughost");
  return arguments;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "plughost: error: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int, char**) {
  using namespace plughost;
  installCrashHandler();
  // Texts are UTF-8: a console shows them as such; pipes and files get the
  // bytes unchanged.
  SetConsoleOutputCP(CP_UTF8);
  // The command line as the system holds it, in UTF-16, so paths of any
  // language survive; everything inside plughost is UTF-8.
  const std::vector<std::string> arguments = commandLineArguments();
  std::vector<char*> pointers;
  for (const std::string& argument : arguments)
    pointers.push_back(const_cast<char*>(argument.c_str()));
  pointers.push_back(nullptr);
  const int argc = static_cast<int>(arguments.size());
  char** argv = pointers.data();
  CLI::App app{"plughost - a command-line host for VST 2 plug-ins"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "plughost " PLUGHOST_VERSION);
  // Paths such as /tmp/x.dll are arguments, not "/option" switches.
  app.allow_windows_style_options(false);
  int status = 0;

  addInfoCommand(app, status);
  addRenderCommand(app, status);
  addAnalyzeCommand(app, status);
  addPresetCommand(app, status);
  addEditCommand(app, status);
  addRegisterCommand(app, status);
  addInstallCommand(app, status);
  addValidateCommand(app, status);
  addUninstallCommand(app, status);
  addUnregisterCommand(app, status);

  // A command made of commands (preset save, preset load) given alone
  // names them, as an unknown one does below.
  const auto partsOf = [](CLI::App* command) {
    const auto parts = command->get_subcommands([](CLI::App*) { return true; });
    std::string names;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      // "preset save or load", as for an unknown part below.
      names += (i == 0                  ? command->get_name() + " "
                : i + 1 == parts.size() ? " or "
                                        : ", ") +
               parts[i]->get_name();
    }
    return names;
  };
  if (argc == 2 && argv[1][0] != '-') {
    const auto commands = app.get_subcommands(
        [&](CLI::App* c) { return c->get_name() == argv[1] && !partsOf(c).empty(); });
    if (!commands.empty()) {
      return fail("'" + std::string(argv[1]) + "' needs a command: use " + partsOf(commands[0]));
    }
  }
  if (argc > 1 && argv[1][0] != '-') {
    const std::string command = argv[1];
    const auto commands = app.get_subcommands([](CLI::App*) { return true; });
    if (std::none_of(commands.begin(), commands.end(),
                     [&](CLI::App* c) { return c->get_name() == command; })) {
      // Hidden commands (no group) are plughost's own, not the user's.
      const auto shown = app.get_subcommands([](CLI::App* c) { return !c->get_group().empty(); });
      std::string names;
      for (std::size_t i = 0; i < shown.size(); ++i) {
        names += (i == 0 ? "" : i + 1 == shown.size() ? " or " : ", ") + shown[i]->get_name();
      }
      return fail("unknown command '" + command + "' (use " + names + ")");
    }
    // A command made of commands (preset save, preset load) names its own.
    CLI::App* chosen = app.get_subcommand(command);
    const auto parts = chosen->get_subcommands([](CLI::App*) { return true; });
    if (!parts.empty() && argc > 2 && argv[2][0] != '-' &&
        std::none_of(parts.begin(), parts.end(),
                     [&](CLI::App* c) { return c->get_name() == argv[2]; })) {
      std::string names;
      for (std::size_t i = 0; i < parts.size(); ++i) {
        names += (i == 0 ? "" : i + 1 == parts.size() ? " or " : ", ") + parts[i]->get_name();
      }
      return fail("unknown command '" + command + " " + argv[2] + "' (use " + command + " " +
                  names + ")");
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // validate promises its users' CI status 2 for a usage error.
    const bool validating = argc > 1 && std::string(argv[1]) == "validate";
    return validating ? 2 * fail(e.what()) : fail(e.what());
  } catch (const std::bad_alloc&) {
    return fail("out of memory");
  } catch (const CommandError& e) {
    return fail(e.what());
  } catch (const std::exception& e) {
    endIfThrownByPlugin(e);
    return fail(e.what());
  }
  // A standard output that cannot take what was printed (/dev/full, a
  // closed pipe) is a failure like any other write.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    return fail("cannot write the standard output");
  }
  return status;
}
