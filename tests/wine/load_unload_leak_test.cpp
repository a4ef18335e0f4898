// A host loads and frees a plug-in many times in one process (scanning,
// opening projects). Each cycle must give back every handle and all but a
// few bytes of memory: the plug-in with an effect opened and closed through
// "main" (so the engine is loaded and freed too), the demo engine alone, and
// (64-bit) the plug-in catching an engine's exceptions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "kel/kel_interfaces.h"
#include "scratch_installation.h"
#include "vst/vst_opcodes.h"
#include "vst/vst_types.h"

namespace {

constexpr int kWarmUpCycles = 5;  // the process's own first-use costs
constexpr int kCycles = 200;
constexpr double kBytesPerCycle = 1024.0;

using wine_test::binFolder;

// Open handles of this process: every handle value that names an object.
// (Wine answers 0 to GetProcessHandleCount.)
int openHandles() {
  int count = 0;
  for (ULONG_PTR value = 4; value < 0x20000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// Bytes of private memory committed in the process.
double committedPrivateBytes() {
  MEMORY_BASIC_INFORMATION region;
  double total = 0;
  for (const char* address = nullptr;
       VirtualQuery(address, &region, sizeof region) == sizeof region;
       address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) {
      total += static_cast<double>(region.RegionSize);
    }
  }
  return total;
}

struct Usage {
  int handles;
  double bytes;
};
Usage usageNow() {
  return {openHandles(), committedPrivateBytes()};
}

// Runs `cycle` for warm-up and then for measuring; answers false at the
// first failing cycle.
template <typename Cycle>
bool measure(Cycle cycle, Usage* perCycle) {
  for (int i = 0; i < kWarmUpCycles; ++i) {
    if (!cycle()) return false;
  }
  const Usage before = usageNow();
  for (int i = 0; i < kCycles; ++i) {
    if (!cycle()) return false;
  }
  const Usage after = usageNow();
  perCycle->handles = after.handles - before.handles;
  perCycle->bytes = (after.bytes - before.bytes) / kCycles;
  return true;
}

template <typename Proc>
Proc exportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

class EngineHost : public kel::IHost {
 public:
  std::int32_t getVersion() override { return 1; }
  void parameterChanged(std::int32_t) override {}
  double getTempo() override { return 120.0; }
  std::int32_t getHostFlag() override { return 0; }
};

// A named copy of the plug-in with its .ini file, its product registered
// with processor 0 of `engineFile` (the demo engine's gain processor).
struct InstalledPlugin {
  explicit InstalledPlugin(const char* engineFile)
      : scratch("kelbridge-leak", engineFile), dll(scratch.addEffect("LeakProbe", 4321, 0)) {}
  wine_test::ScratchInstallation scratch;
  std::string dll;  // "" when the installation could not be made
};

// Load, open an effect with its engine, process a block, close, free.
bool pluginCycle(const std::string& dll) {
  HMODULE module = LoadLibraryA(dll.c_str());
  if (module == nullptr) return false;
  using MainProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);
  auto entry = exportOf<MainProc>(module, "main");
  AEffect* effect = entry != nullptr ? entry(&hostCallback) : nullptr;
  // Only an effect with its engine takes the ID of its .ini file.
  const bool opened = effect != nullptr && effect->uniqueID == 4321;
  if (effect != nullptr) {
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    float left[64] = {}, right[64] = {};
    float* channels[2] = {left, right};
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect->processReplacing(effect, channels, channels, 64);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  return FreeLibrary(module) && opened;
}

// Load the engine, create and release a processor of each kind, free.
bool engineCycle(const std::string& dll) {
  HMODULE module = LoadLibraryA(dll.c_str());
  if (module == nullptr) return false;
  auto entry = exportOf<kel::KelMainProc>(module, "kelMain");
  EngineHost host;
  std::int32_t version = 0;
  kel::IModule* engine = entry != nullptr ? entry(&host, &version) : nullptr;
  bool created = engine != nullptr;
  if (engine != nullptr) {
    for (std::int32_t index = 0; index < 3; ++index) {
      kel::IProcessor* processor = engine->createProcessor(index);
      created = created && processor != nullptr;
      if (processor == nullptr) continue;
      processor->initialize();
      processor->activate();
      processor->deactivate();
      processor->terminate();
      processor->release();
    }
    engine->release();
  }
  return FreeLibrary(module) && created;
}

TEST(LoadUnload, PluginWithItsEngineGivesEverythingBack) {
  InstalledPlugin plugin("kel_demo_engine.dll");
  Usage perCycle{};
  ASSERT_TRUE(measure([&] { return pluginCycle(plugin.dll); }, &perCycle));
  std::printf("plug-in and engine: %d handles in %d cycles, %.0f bytes per cycle\n",
              perCycle.handles, kCycles, perCycle.bytes);
  EXPECT_LE(perCycle.handles, 0);
  EXPECT_LT(perCycle.bytes, kBytesPerCycle);
}

TEST(LoadUnload, DemoEngineGivesEverythingBack) {
  const std::string engine = binFolder() + "kel_demo_engine.dll";
  Usage perCycle{};
  ASSERT_TRUE(measure([&] { return engineCycle(engine); }, &perCycle));
  std::printf("demo engine: %d handles in %d cycles, %.0f bytes per cycle\n", perCycle.handles,
              kCycles, perCycle.bytes);
  EXPECT_LE(perCycle.handles, 0);
  EXPECT_LT(perCycle.bytes, kBytesPerCycle);
}

// The test engine, scripted through the environment, throws in every block;
// the plug-in catches it. Each thread that met an exception had runtime data
// of both libraries. (A 32-bit engine's exception cannot reach the plug-in:
// each library's runtime unwinds only through its own frames.)
#if defined(_WIN64)
TEST(LoadUnload, ExceptionsCaughtOnTheWayLeaveNothingBehind) {
  InstalledPlugin plugin("kel_test_engine.dll");
  _putenv("KEL_TEST_ENGINE_SCRIPT=throw-in-process");  // the runtime's copy, read by getenv
  Usage perCycle{};
  const bool ran = measure([&] { return pluginCycle(plugin.dll); }, &perCycle);
  _putenv("KEL_TEST_ENGINE_SCRIPT=");
  ASSERT_TRUE(ran);
  std::printf("plug-in and throwing engine: %d handles in %d cycles, %.0f bytes per cycle\n",
              perCycle.handles, kCycles, perCycle.bytes);
  EXPECT_LE(perCycle.handles, 0);
  EXPECT_LT(perCycle.bytes, kBytesPerCycle);
}
#endif

}  // namespace
