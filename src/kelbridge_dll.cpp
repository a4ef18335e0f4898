// What makes the bridge a DLL: DllMain, which keeps the module instance
// handle, and the one export "main" (VSTPluginMain, renamed by kelbridge.def).
#include <windows.h>

#include "bridge/create_effect.h"
#include "bridge/module_instance.h"

// Exported as "main" through kelbridge.def only, so it is the single export.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

// [main] The host's loading thread; see createEffect.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
  return createEffect(audioMaster);
}

// [main] Loader lock held; does nothing but keep the handle. Never refuses. The
// runtime's remains go with the library's static objects (dll_runtime.cpp).
BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
  moduleInstance = instance;
  return TRUE;
}
