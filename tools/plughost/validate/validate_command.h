// plughost validate, and its hidden child side validate-check: added to the
// parser like the commands in commands/commands.h.
#pragma once

namespace CLI {
class App;
}

namespace plughost {

void addValidateCommand(CLI::App& app, int& status);

}  // namespace plughost
