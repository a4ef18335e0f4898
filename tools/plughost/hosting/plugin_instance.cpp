#include "hosting/plugin_instance.h"

#include <cstring>

#include "formats/parameter_assignment.h"
#include "formats/pe_width.h"
#include "hosting/host_context.h"
#include "install/engine_check.h"
#include "installation/effect_settings.h"
#include "support/command_error.h"

namespace plughost {
namespace {

using PluginMain = AEffect*(VSTCALLBACK*)(audioMasterCallback host);

// Large enough for any text a plug-in may write; VST texts are short.
constexpr std::size_t kTextBufferSize = 512;

}  // namespace

PluginInstance::PluginInstance(const std::string& path) : path_(path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    throw CommandError("plug-in '" + path + "' does not exist");
  }
  requireOwnWidth(path, "plug-in '" + path + "'");
  // A bridge copy whose registry entry is missing would stop on the bridge's
  // modal error box: name the fault here instead.
  const std::string settingsPath = installation::settingsPathFor(path);
  const bool bridge = installation::hasEffectSettings(settingsPath.c_str());
  const installation::EffectSettings settings =
      bridge ? installation::readEffectSettings(settingsPath.c_str())
             : installation::EffectSettings{};
  std::string enginePath;
  const std::string registry = bridge ? registryProblem(settings.guid, enginePath) : "";
  if (!registry.empty())
    throw CommandError("'" + path + "' came up without its engine: " + registry);
  if (!library_.load(path.c_str())) {
    throw CommandError("cannot load plug-in '" + path +
                       "': " + systemMessage(GetLastError(), path));
  }
  // A throw from here on unloads the library with its owner.
  auto entry = reinterpret_cast<PluginMain>(library_.symbol("main"));
  if (!entry) {
    throw CommandError("'" + path + "' is not a VST 2 plug-in: it has no export \"main\"");
  }
  effect_ = entry(&hostCallback);
  if (!effect_ || effect_->magic != kEffectMagic) {
    throw CommandError("'" + path + "': main() returned no effect");
  }
  dispatch(effOpen);
  // A bridge that could not load its engine still hands over an effect, with
  // no flags at all; it must not pass for a working one. Without its .ini
  // file it is known by the base record's default ID.
  const bool unloadedBridge = effect_->flags == 0 && effect_->uniqueID == kDefaultUniqueId;
  if ((bridge && effect_->flags == 0) || unloadedBridge) {
    std::string reason;
    if (bridge) {
      reason = engineProblem(settings, EngineCheck{});
    } else {
      reason = GetFileAttributesA(settingsPath.c_str()) == INVALID_FILE_ATTRIBUTES
                   ? "it has no configuration file (.ini) beside it"
                   : "its configuration file '" + settingsPath + "' has no [KEL] settings";
    }
    if (reason.empty()) reason = "the engine did not load";
    // The destructor does not run for a constructor that throws.
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    throw CommandError("'" + path + "' came up without its engine: " + reason);
  }
}

PluginInstance::~PluginInstance() {
  // The effect goes before its library.
  if (effect_) effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) const {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string PluginInstance::text(VstInt32 opcode, VstInt32 index) const {
  char buffer[kTextBufferSize] = {};
  dispatch(opcode, index, 0, buffer);
  buffer[kTextBufferSize - 1] = '\0';
  return buffer;
}

void PluginInstance::process(float** in, float** out, VstInt32 frames) const {
  if (effect_->flags & effFlagsCanReplacing) {
    effect_->processReplacing(effect_, in, out, frames);
  } else {
    effect_->process(effect_, in, out, frames);
  }
}

float PluginInstance::parameter(VstInt32 index) const {
  return effect_->getParameter(effect_, index);
}

void PluginInstance::setParameter(VstInt32 index, float value) const {
  effect_->setParameter(effect_, index, value);
}

VstInt32 PluginInstance::findParameter(const std::string& name) const {
  for (VstInt32 i = 0; i < effect_->numParams; ++i) {
    if (sameParameterName(parameterName(i), name)) return i;
  }
  return -1;
}

std::string PluginInstance::effectName() const {
  std::string name = text(effGetProductString);
  return name.empty() ? text(effGetEffectName) : name;
}

}  // namespace plughost
