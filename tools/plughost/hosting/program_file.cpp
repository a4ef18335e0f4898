#include "hosting/program_file.h"

#include "formats/plugin_id.h"
#include "support/command_error.h"

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

// A copy of the plug-in's chunk of `kind`; throws when it gives none.
std::vector<std::uint8_t> chunkOf(const PluginInstance& plugin, VstInt32 kind, const char* what) {
  void* data = nullptr;
  const VstIntPtr size = plugin.dispatch(effGetChunk, kind, 0, &data);
  if (size < 0 || (size > 0 && !data)) {
    throw CommandError(std::string("the plug-in gave no ") + what + " chunk");
  }
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

// How the state read back differs from the file's chunk: its size, or where
// the bytes of an equal size first differ.
std::string chunkDifference(const std::vector<std::uint8_t>& state,
                            const std::vector<std::uint8_t>& chunk) {
  if (state.size() != chunk.size()) {
    return std::to_string(state.size()) + " bytes instead of the file's " +
           std::to_string(chunk.size());
  }
  std::size_t at = 0;
  while (at < state.size() && state[at] == chunk[at]) ++at;
  return "the file's " + std::to_string(chunk.size()) + " bytes, but byte " + std::to_string(at) +
         " is " + std::to_string(state[at]) + " instead of " + std::to_string(chunk[at]);
}

// effSetChunk answers nothing useful: only the state read back shows whether
// the plug-in took the bytes.
void setChunkChecked(const PluginInstance& plugin, VstInt32 kind,
                     const std::vector<std::uint8_t>& chunk, const char* what,
                     const std::string& file) {
  std::vector<std::uint8_t> bytes = chunk;  // effSetChunk takes a writable pointer
  plugin.dispatch(effSetChunk, kind, static_cast<VstIntPtr>(bytes.size()), bytes.data());
  const std::vector<std::uint8_t> state = chunkOf(plugin, kind, what);
  if (state != chunk) {
    throw CommandError("'" + plugin.effectName() + "' did not take the " + what + " in '" + file +
                       "': its state reads back different (" + chunkDifference(state, chunk) + ")");
  }
}

}  // namespace

void requireChunks(const PluginInstance& plugin) {
  if (!(plugin.effect()->flags & effFlagsProgramChunks)) {
    throw CommandError("'" + plugin.path() + "' does not keep its programs as chunks");
  }
}

std::vector<std::uint8_t> programChunk(const PluginInstance& plugin) {
  return chunkOf(plugin, kProgramChunk, "program");
}

FxpProgram readProgramFile(const std::string& file) {
  FxpProgram program;
  std::string error;
  if (!readFxpFile(file, program, error)) throw CommandError(error);
  return program;
}

void applyProgram(const PluginInstance& plugin, const FxpProgram& program,
                  const std::string& file) {
  requireChunks(plugin);
  requireId(plugin, program.pluginId, "preset", file);
  setChunkChecked(plugin, kProgramChunk, program.chunk, "program", file);
  if (!program.name.empty()) {
    std::string name = program.name;
    plugin.dispatch(effSetProgramName, 0, 0, &name[0]);
  }
}

FxpProgram loadProgramFile(const PluginInstance& plugin, const std::string& file) {
  const FxpProgram program = readProgramFile(file);
  applyProgram(plugin, program, file);
  return program;
}

FxbBank loadBankProgram(const PluginInstance& plugin, const std::string& file, int index) {
  FxbBank bank;
  std::string error;
  if (!readFxbFile(file, bank, error)) throw CommandError(error);
  if (bank.programCount <= 0) {
    throw CommandError("bank '" + file + "' holds no programs: there is no program " +
                       std::to_string(index));
  }
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
