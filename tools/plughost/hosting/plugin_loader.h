// Loading a plug-in library the way a host does, shared by every plughost
// command and by validate's checks: the library by its path of any language
// (UTF-16 at the system), then its export "main". Calling main() and the
// dispatcher is the caller's, so each can announce the call its own way
// (validate notes every call before it is made).
#pragma once

#include <string>

#include "platform/platform.h"
#include "vst/vst_types.h"

namespace plughost {

// The export every VST 2 plug-in has: it builds one effect record for the
// host whose callback it is given, or answers null.
using PluginMain = AEffect*(VSTCALLBACK*)(audioMasterCallback host);

class PluginLoader {
 public:
  PluginLoader() = default;
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // [main] Loads the library at `path` (UTF-8). "" when it is loaded, or one
  // line saying why not ("cannot load plug-in 'PATH': REASON", or that it has
  // no export "main").
  std::string load(const std::string& path);
  // The loaded library's "main"; null before a successful load().
  PluginMain entry() const { return entry_; }
  // Unloads the library; the effect it made must be closed before.
  void unload();

 private:
  platform::Library library_;
  PluginMain entry_ = nullptr;
};

// Why the plug-in at `path`, a kelbridge effect or a file of the bridge
// without its settings, comes up without its engine, step by step as the
// bridge loads it: its folder beyond the ANSI code page, a missing .ini or
// [KEL] section, the registry entry, the engine library and its processor.
// "" when none of them shows a fault. Loads the engine library (never the
// plug-in) to tell.
std::string engineAbsenceReason(const std::string& path);

// The registry's reason (see registryProblem) when `path` is a kelbridge
// effect whose engine entry is missing: the bridge would stop on a modal
// error box when loaded. "" otherwise.
std::string registryReasonBeforeLoading(const std::string& path);

}  // namespace plughost
