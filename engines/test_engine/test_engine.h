// The scriptable test engine, reachable in-process: the same objects and the
// same control block that its library exports as kelMain and
// testEngineScript.
#pragma once

#include <cstdint>

#include "kel/kel_interfaces.h"
#include "test_engine/test_engine_script.h"

// The engine's entry, as kelMain: writes the scripted version and answers a
// new module (owned by the caller until release()), or null when scripted so.
// [any thread] Never throws.
kel::IModule* testEngineMain(kel::IHost* host, std::int32_t* version);

// The engine's one control block; lives as long as the program or library.
testengine::Script& testEngineScriptRef();
