#include "program_file.h"

#include "command_error.h"
#include "plugin_id.h"

namespace plughost {
namespace {

constexpr VstInt32 kProgramChunk = 1;  // index of effGetChunk / effSetChunk: one program
constexpr VstInt32 kBankChunk = 0;     // every program

void requireId(const PluginInstance& plugin, std::int32_t id, const std::string& what,
               const std::string& file) {
  if (id != plugin.effect()->uniqueID) {
    throw CommandError(what + " '" + file + "' belongs to plug-in ID " + describeId(id) +
                       ", not to " + plugin.effectName() + " (ID " +
                       describeId(plugin.effect()->uniqueID) + ")");
  }
}

// effSetChunk answers nothing useful: only the state read back shows whether
// the plug-in took the bytes.
void setChunkChecked(const PluginInstance& plugin, VstInt32 kind,
                     const std::vector<std::uint8_t>& chunk, const std::string& what,
                     const std::string& file) {
  std::vector<std::uint8_t> bytes = chunk;  // effSetChunk takes a writable pointer
  plugin.dispatch(effSetChunk, kind, static_cast<VstIntPtr>(bytes.size()), bytes.data());
  void* data = nullptr;
  const VstIntPtr size = plugin.dispatch(effGetChunk, kind, 0, &data);
  if (size < 0 || (size > 0 && !data)) throw CommandError("the plug-in gave no " + what + " chunk");
  const auto* begin = static_cast<const std::uint8_t*>(data);
  const std::vector<std::uint8_t> state(begin, begin + size);
  if (state != chunk) {
    throw CommandError("'" + plugin.effectName() + "' did not take the " + what + " in '" + file +
                       "': its state reads back different (" + std::to_string(state.size()) +
                       " bytes instead of the file's " + std::to_string(chunk.size()) +
                       (state.size() == chunk.size() ? ", other values)" : ")"));
  }
}

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
  requireId(plugin, program.pluginId, "preset", file);
  setChunkChecked(plugin, kProgramChunk, program.chunk, "program", file);
  if (!program.name.empty()) {
    std::string name = program.name;
    plugin.dispatch(effSetProgramName, 0, 0, &name[0]);
  }
  return program;
}

FxbBank loadBankProgram(const PluginInstance& plugin, const std::string& file, int index) {
  FxbBank bank;
  std::string error;
  if (!readFxbFile(file, bank, error)) throw CommandError(error);
  if (index < 0 || index >= bank.programCount) {
    throw CommandError("bank '" + file + "' holds " + std::to_string(bank.programCount) +
                       " program(s), numbered 0.." + std::to_string(bank.programCount - 1) +
                       ": there is no program " + std::to_string(index));
  }
  requireChunks(plugin);
  requireId(plugin, bank.pluginId, "bank", file);
  setChunkChecked(plugin, kBankChunk, bank.chunk, "bank", file);
  plugin.dispatch(effSetProgram, 0, index);
  const VstIntPtr current = plugin.dispatch(effGetProgram);
  if (current != index) {
    throw CommandError("'" + plugin.effectName() + "' did not switch to program " +
                       std::to_string(index) + " of bank '" + file + "' (it has " +
                       std::to_string(plugin.effect()->numPrograms) + " program(s))");
  }
  return bank;
}

}  // namespace plughost
