// plughost: loads a VST 2 plug-in as a host does and shows, renders, saves,
// restores or opens it; also registers engines and installs named copies of
// the bridge plug-in.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <new>

#include "commands/commands.h"
#include "support/command_error.h"

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
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
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
    return fail(e.what());
  }
  return status;
}
