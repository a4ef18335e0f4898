// Moving a plug-in's program between the plug-in and a program file (.fxp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/fxp_io.h"
#include "hosting/plugin_instance.h"

namespace plughost {

// Throws CommandError unless the plug-in keeps its programs as chunks.
void requireChunks(const PluginInstance& plugin);
// A copy of the plug-in's current program chunk; throws when it gives none.
std::vector<std::uint8_t> programChunk(const PluginInstance& plugin);
// The program in `file`; throws CommandError for a file that holds none.
FxpProgram readProgramFile(const std::string& file);
// Checks that `program`, read from `file`, belongs to the plug-in's ID, hands
// its chunk over and reads the state back: throws CommandError unless the
// plug-in took the program.
void applyProgram(const PluginInstance& plugin, const FxpProgram& program, const std::string& file);
// readProgramFile, then applyProgram; answers the program as read.
FxpProgram loadProgramFile(const PluginInstance& plugin, const std::string& file);
// Reads the bank `file` (one chunk for all programs), checks its ID and that
// it holds program `index` (counted from 0), hands its chunk over as a bank,
// reads the state back and switches to the program: throws CommandError
// unless the plug-in took the bank and now plays that program.
FxbBank loadBankProgram(const PluginInstance& plugin, const std::string& file, int index);

}  // namespace plughost
