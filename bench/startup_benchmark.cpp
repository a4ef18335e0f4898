// Time from the host's call of main to a ready effect: configuration file,
// registry, engine library, engine objects and one description per engine
// parameter while the parameter map is built.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "benchmarks.h"
#include "report.h"
#include "vst/vst_opcodes.h"

namespace bench {

namespace {

constexpr int kParameters = 1000;
constexpr double kTargetMs = 20.0;
constexpr int kWarmUpOpenings = 3;

using MainEntry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

// Engine parameters 1 to count-1: linear 0..100, automatable. Parameter 0
// stays as the caller defined it.
void defineParameters(testengine::Script& script, int count) {
  for (int i = 1; i < count; ++i) {
    testengine::ParameterScript& p = script.parameters[i];
    p.hasName = true;
    std::snprintf(p.name, sizeof p.name, "Param %d", i);
    p.hasLabel = true;
    std::snprintf(p.label, sizeof p.label, "%%");
    p.minimum = 0;
    p.maximum = 100;
    p.curve = kel::kCurveLinear;
    p.automatable = 1;
  }
}

// The loaded plug-in copy that owns `effect`'s entries.
MainEntry mainOf(const AEffect& effect) {
  HMODULE plugin = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(effect.dispatcher)), &plugin)) {
    return nullptr;
  }
  return reinterpret_cast<MainEntry>(reinterpret_cast<void*>(GetProcAddress(plugin, "main")));
}

// Milliseconds from main to its answer; -1 when the effect is not ready
// with `parameters` host parameters. The effect is closed untimed.
double openOnce(MainEntry entry, BridgeTestHost& host, int parameters) {
  const double start = secondsNow();
  AEffect* effect = entry(host.master());
  const double elapsed = (secondsNow() - start) * 1000.0;
  if (effect == nullptr) return -1.0;
  const bool ready = effect->numParams == parameters;
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  host.clear();
  return ready ? elapsed : -1.0;
}

// Median milliseconds of main to ready over the timing's runs; -1 on failure.
double medianOpening(MainEntry entry, BridgeTestHost& host, testengine::Script& script,
                     int parameters, const Timing& timing) {
  script.parameterCount = parameters;
  for (int i = 0; i < kWarmUpOpenings; ++i) {
    if (openOnce(entry, host, parameters) < 0.0) return -1.0;
  }
  std::vector<double> runs;
  for (int run = 0; run < timing.runs; ++run) {
    const double ms = openOnce(entry, host, parameters);
    if (ms < 0.0) return -1.0;
    runs.push_back(ms);
  }
  return median(runs);
}

}  // namespace

void benchmarkStartup(BridgeTestHost& host, testengine::Script& script, kel::IProcessor& direct,
                      const Timing& timing) {
  heading("4. main to a ready effect, engine with 1000 automatable parameters");
  defineParameters(script, kParameters);
  script.parameterCount = kParameters;

  BridgeHarness installation("BigEffect", "bigplugins");
  const double start = secondsNow();
  AEffect* first = installation.open(host);
  const double firstOpenMs = (secondsNow() - start) * 1000.0;
  if (first == nullptr || first->numParams != kParameters) {
    note("the installation did not give an effect with %d parameters", kParameters);
    return;
  }
  const MainEntry entry = mainOf(*first);
  if (entry == nullptr) {
    note("the plug-in copy's main was not found");
    return;
  }

  const double oneMs = medianOpening(entry, host, script, 1, timing);
  const double manyMs = medianOpening(entry, host, script, kParameters, timing);
  script.parameterCount = kParameters;
  auto describeAll = [&direct] {
    const std::int32_t count = direct.getParameterCount();
    for (std::int32_t i = 0; i < count; ++i) {
      kel::SParameterInfo info;
      direct.getParameterInfo(i, &info);
      keep(&info);
    }
  };
  const double describeUs = medianNanoseconds(describeAll, timing) / 1e3;
  script.parameterCount = 1;
  if (oneMs < 0.0 || manyMs < 0.0) {
    note("an effect opened through main was not ready");
    return;
  }

  note("plug-in DLL and engine DLL already loaded in the process, as for a host's second effect");
  figure("first open: copy, .ini, LoadLibrary, main", firstOpenMs, "ms");
  figure("main to ready, engine with 1 parameter", oneMs, "ms");
  figure("engine alone: 1000 descriptions read directly", describeUs, "us");
  figure("per parameter beyond the first", (manyMs - oneMs) * 1000.0 / (kParameters - 1), "us");
  target("main to ready, 1000 parameters", manyMs, "ms", "< 20 ms", manyMs < kTargetMs);
}

}  // namespace bench
