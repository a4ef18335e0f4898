#include "hosting/plugin_instance.h"

#include <cstring>

#include "formats/parameter_assignment.h"
#include "formats/pe_width.h"
#include "hosting/crash_guard.h"
#include "hosting/host_context.h"
#include "installation/effect_settings.h"
#include "support/command_error.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

// Large enough for any text a plug-in may write; VST texts are short.
constexpr std::size_t kTextBufferSize = 512;

}  // namespace

PluginInstance::PluginInstance(const std::string& path) : path_(path) {
  if (GetFileAttributesW(wideText(path).c_str()) == INVALID_FILE_ATTRIBUTES) {
    throw CommandError("plug-in '" + path + "' does not exist");
  }
  requireOwnWidth(path, "plug-in '" + path + "'");
  // A bridge copy whose registry entry is missing would stop on the bridge's
  // modal error box: name the fault here instead.
  const std::string registry = registryReasonBeforeLoading(path);
  if (!registry.empty())
    throw CommandError("'" + path + "' came up without its engine: " + registry);
  const std::string refused = library_.load(path);
  if (!refused.empty()) throw CommandError(refused);
  // A throw from here on unloads the library with its owner.
  {
    const PluginCall call("main");
    effect_ = unwindingStopsHere([&] { return library_.entry()(&hostCallback); });
  }
  if (!effect_ || effect_->magic != kEffectMagic) {
    throw CommandError("'" + path + "': main() returned no effect");
  }
  dispatch(effOpen);
  // A bridge that could not load its engine still hands over an effect, with
  // no flags at all; it must not pass for a working one. Without its .ini
  // file it is known by the base record's default ID.
  const bool bridge = installation::hasEffectSettings(installation::settingsPathFor(path).c_str());
  const bool unloadedBridge = effect_->flags == 0 && effect_->uniqueID == kDefaultUniqueId;
  if ((bridge && effect_->flags == 0) || unloadedBridge) {
    std::string reason = engineAbsenceReason(path);
    if (reason.empty()) reason = "the engine did not load";
    // The destructor does not run for a constructor that throws.
    dispatch(effClose);
    throw CommandError("'" + path + "' came up without its engine: " + reason);
  }
  // Counts below zero would run every loop over them backwards or not at all.
  const struct {
    VstInt32 count;
    const char* what;
  } counts[] = {{effect_->numParams, "parameters"},
                {effect_->numPrograms, "programs"},
                {effect_->numInputs, "inputs"},
                {effect_->numOutputs, "outputs"}};
  for (const auto& c : counts) {
    if (c.count < 0) {
      dispatch(effClose);
      throw CommandError("'" + path + "' reports " + std::to_string(c.count) + " " + c.what);
    }
  }
}

PluginInstance::~PluginInstance() {
  // The effect goes before its library.
  if (effect_) dispatch(effClose);
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) const {
  const PluginCall call(opcode);
  return unwindingStopsHere(
      [&] { return effect_->dispatcher(effect_, opcode, index, value, ptr, opt); });
}

std::string PluginInstance::text(VstInt32 opcode, VstInt32 index) const {
  char buffer[kTextBufferSize] = {};
  dispatch(opcode, index, 0, buffer);
  buffer[kTextBufferSize - 1] = '\0';
  return buffer;
}

void PluginInstance::process(float** in, float** out, VstInt32 frames) const {
  if (effect_->flags & effFlagsCanReplacing) {
    const PluginCall call("processReplacing");
    unwindingStopsHere([&] { effect_->processReplacing(effect_, in, out, frames); });
  } else {
    const PluginCall call("process");
    unwindingStopsHere([&] { effect_->process(effect_, in, out, frames); });
  }
}

float PluginInstance::parameter(VstInt32 index) const {
  const PluginCall call("getParameter");
  return unwindingStopsHere([&] { return effect_->getParameter(effect_, index); });
}

void PluginInstance::setParameter(VstInt32 index, float value) const {
  const PluginCall call("setParameter");
  unwindingStopsHere([&] { effect_->setParameter(effect_, index, value); });
}

VstInt32 PluginInstance::findParameter(const std::string& name) const {
  for (VstInt32 i = 0; i < effect_->numParams; ++i) {
    if (sameParameterName(parameterName(i), name)) return i;
  }
  return -1;
}

std::string PluginInstance::effectName() const {
  std::string name = text(effGetProductString);
  if (name.empty()) name = text(effGetEffectName);
  if (!name.empty()) return name;
  const auto slash = path_.find_last_of("\\/");
  const std::string file = path_.substr(slash == std::string::npos ? 0 : slash + 1);
  return file.substr(0, file.rfind('.'));
}

}  // namespace plughost
