// Native half of the bridge harness: the bridge runs in-process against the
// platform test double and the test engine linked into the test.
#if !defined(_WIN32)

#include "bridge/create_effect.h"
#include "bridge/module_instance.h"
#include "bridge_harness.h"
#include "installation/effect_settings.h"
#include "platform_fake.h"
#include "test_engine/test_engine.h"

namespace {
const char* const kEnginePath = "C:\\Engines\\TestEngine.dll";
int harnessCount = 0;

kel::IModule* KEL_CDECL engineEntry(kel::IHost* host, std::int32_t* version) {
  return testEngineMain(host, version);
}
}  // namespace

struct BridgeHarness::Platform {
  std::string folder;
  std::string enginePath = kEnginePath;
  std::string productPath;
  bool productInstalled = false;
};

BridgeHarness::BridgeHarness(const std::string& pluginName, const std::string& folder)
    : platformState(new Platform), plugin(pluginName) {
  if (harnessCount++ == 0) {
    fakeplatform::reset();
    testengine::resetScript(testEngineScriptRef());
  }
  productGuid = "{TEST-" + std::to_string(harnessCount) + "}";
  platformState->folder = "C:\\Tests\\" + folder;
  platformState->productPath = "Software\\KEL\\" + productGuid;
  fakeplatform::registerLibrary(kEnginePath, {{"kelMain", reinterpret_cast<void*>(&engineEntry)}});
  failedClosesBefore = fakeplatform::failedRegistryCloses();
  setDefaultIni();
}

BridgeHarness::~BridgeHarness() {
  if (openEffect != nullptr) close();
  delete platformState;
  if (--harnessCount == 0) fakeplatform::reset();
}

testengine::Script& BridgeHarness::engine() {
  return testEngineScriptRef();
}

void BridgeHarness::installProduct() {
  installProductKeyOnly();
  registryChosen = true;
  fakeplatform::setRegistryValue(platformState->productPath, "PathName", platformState->enginePath);
}

void BridgeHarness::installProductKeyOnly() {
  registryChosen = true;
  fakeplatform::addRegistryKey(platformState->productPath);
}

void BridgeHarness::setPathNameBytes(const std::string& bytes) {
  installProductKeyOnly();
  fakeplatform::setRegistryValue(platformState->productPath, "PathName", bytes);
}

void BridgeHarness::installProductUnterminated() {
  // The double stores raw bytes; the engine path carries no terminator here.
  setPathNameBytes(platformState->enginePath);
}

void BridgeHarness::uninstallProduct() {
  registryChosen = true;
}

void BridgeHarness::installProductAtKelRoot() {
  registryChosen = true;
  fakeplatform::addRegistryKey("Software\\KEL");
  fakeplatform::setRegistryValue("Software\\KEL", "PathName", platformState->enginePath);
}

void BridgeHarness::usePrivateEngineCopy(const std::string& fileName) {
  platformState->enginePath = "C:\\Engines\\" + fileName;
  fakeplatform::registerLibrary(platformState->enginePath,
                                {{"kelMain", reinterpret_cast<void*>(&engineEntry)}});
  installProduct();
}

void BridgeHarness::useEngineWithoutEntry() {
  platformState->enginePath = "C:\\Engines\\NoEntry.dll";
  fakeplatform::registerLibrary(platformState->enginePath, {});
  installProduct();
}

void BridgeHarness::useMissingEngine() {
  platformState->enginePath = "C:\\Engines\\Missing.dll";
  installProduct();
}

bool BridgeHarness::privateEngineLoaded() const {
  return fakeplatform::libraryLoadCount(platformState->enginePath) > 0;
}

std::string BridgeHarness::enginePath() const {
  return platformState->enginePath;
}

AEffect* BridgeHarness::open(BridgeTestHost& host) {
  return openWith(host.master());
}

AEffect* BridgeHarness::openWith(audioMasterCallback callback) {
  if (!registryChosen) installProduct();
  const std::string modulePath = platformState->folder + "\\" + plugin + ".dll";
  // This harness's "library" has a handle of its own, which the platform
  // double knows by this path; loading it stores the handle, as DllMain does.
  fakeplatform::setModulePath(platformState, modulePath);
  moduleInstance = platformState;
  const std::string iniPath = installation::settingsPathFor(modulePath);
  for (const auto& entry : ini) {
    if (!entry.second.second.empty()) {
      fakeplatform::setProfileString(iniPath, entry.first, entry.second.first, entry.second.second);
    }
  }
  openEffect = createEffect(callback);
  return openEffect;
}

std::vector<std::string> BridgeHarness::errorBoxes() const {
  return fakeplatform::errorBoxes();
}

int BridgeHarness::registryKeysLeftOpen() const {
  return fakeplatform::openRegistryKeys();
}

int BridgeHarness::failedRegistryCloses() const {
  return fakeplatform::failedRegistryCloses() - failedClosesBefore;
}

#endif
