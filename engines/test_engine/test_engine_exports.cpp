// The test engine library's two exports (see test_engine.def).
#include "test_engine/test_engine.h"

// [main] A new module owned by the caller, or null.
extern "C" kel::IModule* KEL_CDECL kelMain(kel::IHost* host, std::int32_t* version) {
  return testEngineMain(host, version);
}

// [any thread] The library's control block, valid while the library is loaded.
extern "C" testengine::Script* KEL_CDECL testEngineScript() {
  return &testEngineScriptRef();
}
