// kel_bench: figures of the plug-in's hot paths, measured in one run against
// the scriptable test engine, each printed next to its target. Installs the
// plug-in as a vendor would (a named copy with its .ini file and the engine's
// registry key), opens it through main as a host does, and removes the
// installation when done.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "benchmarks.h"
#include "direct_engine.h"
#include "report.h"
#include "vst/vst_opcodes.h"

namespace {

constexpr float kSampleRate = 44100.0f;
constexpr int kHostBlockSize = 1024;

// Host parameter 0 of every effect in this run: a level in dB with one
// decimal, shown as a number (no texts at the ends, no value names).
void defineGain(testengine::ParameterScript& p) {
  std::memset(&p, 0, sizeof p);
  p.hasName = true;
  std::strcpy(p.name, "Gain");
  p.hasLabel = true;
  std::strcpy(p.label, "dB");
  p.minimum = -600;
  p.maximum = 120;
  p.decimals = 1;
  p.curve = kel::kCurveLinear;
  p.automatable = 1;
  p.value = -123;
}

int fail(const char* what) {
  std::printf("kel_bench: %s\n", what);
  return 1;
}

}  // namespace

int main() {
  const bench::Timing timing;
  std::printf(
      "kel_bench: each figure is the median of %d runs of at least %.0f ms after a "
      "warm-up;\nperformance counter at %.0f Hz\n",
      timing.runs, timing.runSeconds * 1000.0, bench::counterFrequency());

  const std::string enginePath = bench::programFolder() + "kel_test_engine.dll";
  if (GetFileAttributesA(enginePath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return fail("kel_test_engine.dll is not beside the benchmark");
  }

  BridgeTestHost host;
  BridgeHarness installation("BenchEffect");
  testengine::Script& script = installation.engine();
  defineGain(script.parameters[0]);
  script.parameterCount = 1;
  script.processHalves = true;

  AEffect* effect = installation.open(host);
  if (effect == nullptr || effect->numParams != 1 || effect->numOutputs != 2) {
    return fail("the installed plug-in did not open with the test engine");
  }
  bench::DirectEngine direct(enginePath);
  if (direct.processor() == nullptr) return fail("the test engine could not be opened directly");

  // Both paths see what a host sends before it starts processing.
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, kSampleRate);
  effect->dispatcher(effect, effSetBlockSize, 0, kHostBlockSize, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  direct.processor()->setSampleRate(kSampleRate);
  direct.processor()->setBlockSize(kHostBlockSize);

  bench::benchmarkAudio(*effect, *direct.processor(), script, timing);
  bench::benchmarkParameters(*effect, *direct.processor(), timing);
  bench::benchmarkEvents(*effect, timing);
  bench::benchmarkStartup(host, script, *direct.processor(), timing);

  effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
  std::printf("\n");
  return 0;
}
