// The benchmark's four sections. Each prints its figures and targets; none
// fails the program when a target is missed.
#pragma once

#include "bridge_harness.h"
#include "kel/kel_interfaces.h"
#include "stopwatch.h"
#include "test_engine/test_engine_script.h"
#include "vst/vst_types.h"

namespace bench {

// processReplacing through `effect` against process() on `direct`, stereo,
// at block sizes 32 to 1024. Both belong to the test engine.
void benchmarkAudio(AEffect& effect, kel::IProcessor& direct, testengine::Script& script,
                    const Timing& timing);

// getParameter, setParameter and effGetParamDisplay on host parameter 0,
// which must be a linear engine parameter with decimals; then the pieces of
// that work timed alone, the engine's share on `direct`.
void benchmarkParameters(AEffect& effect, kel::IProcessor& direct, const Timing& timing);

// effProcessEvents with the largest block the plug-in takes, against a plain
// copy of the same event records.
void benchmarkEvents(AEffect& effect, const Timing& timing);

// main to a ready effect for an engine with 1000 automatable parameters, on
// a fresh installation of its own. `direct` shows the engine's own share.
void benchmarkStartup(BridgeTestHost& host, testengine::Script& script, kel::IProcessor& direct,
                      const Timing& timing);

}  // namespace bench
