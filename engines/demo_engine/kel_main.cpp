// The engine library's one export.
#include <new>

#include "demo_module.h"
#include "demo_view_win32.h"
#include "kel/kel_interfaces.h"

// [main] Called once per bridge instance: writes the interface version
// and answers a module owned by the caller (freed with release()), or null when
// memory runs out. `host` must outlive the module; `version` may be null.
extern "C" kel::IModule* KEL_CDECL kelMain(kel::IHost* host, std::int32_t* version) {
  if (version) *version = static_cast<std::int32_t>(kel::kHighestEngineVersion);
  return new (std::nothrow) demo::DemoModule(host, &demo::createWin32View);
}
