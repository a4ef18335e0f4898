// One plug-in loaded the way a host loads it (hosting/plugin_loader.h), the
// export "main" called with plughost's callback, then the effect record's
// dispatcher.
// Destroying the instance sends effClose and unloads the library.
#pragma once

#include <windows.h>

#include <string>

#include "hosting/plugin_loader.h"
#include "vst/vst_opcodes.h"
#include "vst/vst_types.h"

namespace plughost {

class PluginInstance {
 public:
  // Throws CommandError when the file cannot be loaded, has no "main",
  // main() gives no valid effect record, or a bridge copy (a .ini with a [KEL]
  // section beside it) came up without its engine. Sends effOpen on success.
  explicit PluginInstance(const std::string& path);
  ~PluginInstance();
  PluginInstance(const PluginInstance&) = delete;
  PluginInstance& operator=(const PluginInstance&) = delete;

  AEffect* effect() const { return effect_; }
  const std::string& path() const { return path_; }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f) const;

  // Texts the plug-in writes into a buffer of plughost's (empty when none).
  std::string text(VstInt32 opcode, VstInt32 index = 0) const;
  std::string parameterName(VstInt32 index) const { return text(effGetParamName, index); }
  std::string parameterLabel(VstInt32 index) const { return text(effGetParamLabel, index); }
  std::string parameterDisplay(VstInt32 index) const { return text(effGetParamDisplay, index); }
  // One block through processReplacing, or through process (which adds to
  // the outputs: they must hold zeros) when the plug-in cannot replace.
  void process(float** in, float** out, VstInt32 frames) const;
  float parameter(VstInt32 index) const;
  void setParameter(VstInt32 index, float value) const;
  // The parameter whose name matches (ignoring case), or -1.
  VstInt32 findParameter(const std::string& name) const;
  // effGetProductString, or effGetEffectName when the product is empty, or
  // the file's name when both are.
  std::string effectName() const;

 private:
  std::string path_;
  PluginLoader library_;  // declared before the effect: it goes after it
  AEffect* effect_ = nullptr;
};

}  // namespace plughost
