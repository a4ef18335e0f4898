// The library's two doorways: DllMain, which keeps the module instance
// handle, and the one export "main" (VSTPluginMain, renamed by kelbridge.def),
// which creates an effect for the host.
#include <windows.h>

#include <new>

#include "bridge/again.h"
#include "vst/module_instance.h"
#include "vst/vst_opcodes.h"

// Exported as "main" through kelbridge.def only, so it is the single export.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

// [main] Answers a new effect's record, owned by the host until
// it sends effClose, or null when the host has no callback, reports version 0
// or the effect cannot be created.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
  if (audioMaster == nullptr) return nullptr;
  if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  try {
    AGain* effect = new (std::nothrow) AGain(audioMaster);
    return effect != nullptr ? effect->getAeffect() : nullptr;
  } catch (...) {
    return nullptr;
  }
}

// Loader lock held; does nothing but keep the handle. Never refuses.
BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  moduleInstance = instance;
  return TRUE;
}
