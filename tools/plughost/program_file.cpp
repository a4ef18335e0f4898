#include "program_file.h"

#include "command_error.h"
#include "plugin_id.h"

namespace plughost {
namespace {

constexpr VstInt32 kProgramChunk = 1;  // index of effGetChunk / effSetChunk: one program

}  // namespace

std::string describeId(std::int32_t id) {
  const std::string chars = pluginIdChars(id);
  return std::to_string(id) + (chars.empty() ? "" : " ('" + chars + "')");
}

void requireChunks(const PluginInstance& plugin) {
  if (!(plugin.effect()->flags & effFlagsProgramChunks)) {
    throw CommandError("'" + plugin.path() + "' does not keep its programs as chunks");
  }
}

std::vector<std::uint8_t> programChunk(const PluginInstance& plugin) {
  void* data = nullptr;
  const VstIntPtr size = plugin.dispatch(effGetChunk, kProgramChunk, 0, &data);
  if (size < 0 || (size > 0 && !data)) throw CommandError("the plug-in gave no program chunk");
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

FxpProgram loadProgramFile(const PluginInstance& plugin, const std::string& file) {
  FxpProgram program;
  std::string error;
  if (!readFxpFile(file, program, error)) throw CommandError(error);
  requireChunks(plugin);
  if (program.pluginId != plugin.effect()->uniqueID) {
    throw CommandError("preset '" + file + "' belongs to plug-in ID " +
                       describeId(program.pluginId) + ", not to " + plugin.effectName() + " (ID " +
                       describeId(plugin.effect()->uniqueID) + ")");
  }
  plugin.dispatch(effSetChunk, kProgramChunk, static_cast<VstIntPtr>(program.chunk.size()),
                  program.chunk.data());
  // effSetChunk answers nothing useful: only the state read back shows
  // whether the plug-in took the program.
  const std::vector<std::uint8_t> state = programChunk(plugin);
  if (state != program.chunk) {
    throw CommandError("'" + plugin.effectName() + "' did not take the program in '" + file +
                       "': its state reads back different (" + std::to_string(state.size()) +
                       " bytes instead of the file's " + std::to_string(program.chunk.size()) +
                       (state.size() == program.chunk.size() ? ", other values)" : ")"));
  }
  if (!program.name.empty()) {
    std::string name = program.name;
    plugin.dispatch(effSetProgramName, 0, 0, &name[0]);
  }
  return program;
}

}  // namespace plughost
