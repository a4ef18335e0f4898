// Windows half of the bridge harness: real registry keys, real .ini files and
// named copies of the built DLLs in a temporary folder, loaded as a host does.
#if defined(_WIN32)

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "bridge_harness.h"
#include "pe_image.h"

namespace {

struct BoxRecord {
  std::string text;
  std::string details;
};
std::vector<BoxRecord>& boxes() {
  static std::vector<BoxRecord> recorded;
  return recorded;
}

// Stands in for USER32's MessageBoxA inside the plug-in copies, so error
// boxes are recorded instead of waiting for a click on a display.
int WINAPI recordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  char details[64];
  std::snprintf(details, sizeof details, "%p %p %x", static_cast<void*>(owner),
                static_cast<const void*>(caption), style);
  boxes().push_back({text != nullptr ? text : "", details});
  return IDOK;
}

// Every key the plug-in's RegOpenKeyA handed out and RegCloseKey has not
// closed yet, and the closes that found no such key or that the registry
// refused.
struct RegistryLog {
  std::set<HKEY> open;
  int failedCloses = 0;
};
RegistryLog& registryLog() {
  static RegistryLog log;
  return log;
}

LONG WINAPI recordRegOpenKey(HKEY parent, LPCSTR name, PHKEY result) {
  const LONG status = RegOpenKeyA(parent, name, result);
  if (status == ERROR_SUCCESS && result != nullptr) registryLog().open.insert(*result);
  return status;
}

LONG WINAPI recordRegCloseKey(HKEY key) {
  const LONG status = RegCloseKey(key);
  if (registryLog().open.erase(key) == 0 || status != ERROR_SUCCESS) ++registryLog().failedCloses;
  return status;
}

// Points the module's import of `dll`!`name` at `replacement`.
void redirectImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  auto* base = reinterpret_cast<unsigned char*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return;
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       import->Name != 0; ++import) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + import->Name), dll) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), name) != 0) continue;
      DWORD old = 0;
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
      slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
      VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
    }
  }
}

// Error boxes are recorded instead of waiting for a click on a display, and
// the registry keys are followed from open to close.
void redirectPlatformCalls(HMODULE module) {
  redirectImport(module, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(&recordMessageBox));
  redirectImport(module, "advapi32.dll", "RegOpenKeyA", reinterpret_cast<void*>(&recordRegOpenKey));
  redirectImport(module, "advapi32.dll", "RegCloseKey",
                 reinterpret_cast<void*>(&recordRegCloseKey));
}

// GetProcAddress answers a generic function pointer; the export's real type
// is known here, so go through void* to say so.
template <typename Proc>
Proc exportOf(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string binFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) slash[1] = '\0';
  return path;
}

std::string commonEnginePath() {
  return binFolder() + "kel_test_engine.dll";
}

testengine::Script* commonScript() {
  static testengine::Script* script = [] {
    HMODULE engine = LoadLibraryA(commonEnginePath().c_str());
    auto get =
        engine != nullptr ? exportOf<TestEngineScriptProc>(engine, "testEngineScript") : nullptr;
    testengine::Script* found = get != nullptr ? get() : nullptr;
    if (found != nullptr) testengine::resetScript(*found);
    return found;
  }();
  return script;
}

int harnessSerial = 0;

void writeRegistryValue(const std::string& keyPath, const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

}  // namespace

struct BridgeHarness::Platform {
  std::string root;    // this harness's temporary folder
  std::string folder;  // holds the plug-in copy
  std::string enginePath = commonEnginePath();
  std::string productKey;
  std::vector<std::string> files;
  std::vector<std::string> keys;
  HMODULE pluginModule = nullptr;
  bool kelRootValue = false;
  std::size_t firstBox = boxes().size();  // boxes before this harness are not ours
};

BridgeHarness::BridgeHarness(const std::string& pluginName, const std::string& folder)
    : platformState(new Platform), plugin(pluginName) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string tag =
      std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++harnessSerial);
  platformState->root = std::string(temp) + "kelbridge-" + tag + "\\";
  platformState->folder = platformState->root + folder + "\\";
  CreateDirectoryA(platformState->root.c_str(), nullptr);
  CreateDirectoryA(platformState->folder.c_str(), nullptr);
  productGuid = "{KELTEST-" + tag + "}";
  platformState->productKey = "Software\\KEL\\" + productGuid;
  commonScript();
  failedClosesBefore = registryLog().failedCloses;
  setDefaultIni();
}

BridgeHarness::~BridgeHarness() {
  if (openEffect != nullptr) close();
  if (platformState->pluginModule != nullptr) FreeLibrary(platformState->pluginModule);
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, platformState->productKey.c_str());
  if (platformState->kelRootValue) {
    HKEY key = nullptr;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\KEL", &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "PathName");
      RegCloseKey(key);
    }
  }
  for (auto it = platformState->files.rbegin(); it != platformState->files.rend(); ++it) {
    DeleteFileA(it->c_str());
  }
  RemoveDirectoryA(platformState->folder.c_str());
  RemoveDirectoryA(platformState->root.c_str());
  delete platformState;
}

testengine::Script& BridgeHarness::engine() {
  return *commonScript();
}

void BridgeHarness::installProduct() {
  registryChosen = true;
  writeRegistryValue(platformState->productKey, platformState->enginePath + '\0');
}

void BridgeHarness::installProductKeyOnly() {
  registryChosen = true;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, platformState->productKey.c_str(), 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    RegCloseKey(key);
  }
}

void BridgeHarness::setPathNameBytes(const std::string& bytes) {
  registryChosen = true;
  writeRegistryValue(platformState->productKey, bytes);
}

void BridgeHarness::installProductUnterminated() {
  setPathNameBytes(platformState->enginePath);
}

void BridgeHarness::uninstallProduct() {
  registryChosen = true;
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, platformState->productKey.c_str());
}

void BridgeHarness::installProductAtKelRoot() {
  registryChosen = true;
  platformState->kelRootValue = true;
  writeRegistryValue("Software\\KEL", platformState->enginePath + '\0');
}

void BridgeHarness::usePrivateEngineCopy(const std::string& fileName) {
  platformState->enginePath = platformState->root + fileName;
  CopyFileA(commonEnginePath().c_str(), platformState->enginePath.c_str(), FALSE);
  platformState->files.push_back(platformState->enginePath);
  installProduct();
}

void BridgeHarness::useEngineWithoutEntry() {
  // The plug-in itself is a library without kelMain.
  platformState->enginePath = platformState->root + "NoEntry.dll";
  CopyFileA((binFolder() + "kelbridge.dll").c_str(), platformState->enginePath.c_str(), FALSE);
  platformState->files.push_back(platformState->enginePath);
  installProduct();
}

bool BridgeHarness::useEngineOfTheOtherWidth(std::string* error) {
  platformState->enginePath = platformState->root + "OtherWidth.dll";
  platformState->files.push_back(platformState->enginePath);
  installProduct();
  return writeOtherWidthCopy(commonEnginePath(), platformState->enginePath, error);
}

void BridgeHarness::useMissingEngine() {
  platformState->enginePath = platformState->root + "Missing.dll";
  installProduct();
}

bool BridgeHarness::privateEngineLoaded() const {
  return GetModuleHandleA(platformState->enginePath.c_str()) != nullptr;
}

std::string BridgeHarness::enginePath() const {
  return platformState->enginePath;
}

AEffect* BridgeHarness::open(BridgeTestHost& host) {
  return openWith(host.master());
}

AEffect* BridgeHarness::openWith(audioMasterCallback callback) {
  if (!registryChosen) installProduct();
  const std::string dll = platformState->folder + plugin + ".dll";
  const std::string iniPath = platformState->folder + plugin + ".ini";
  CopyFileA((binFolder() + "kelbridge.dll").c_str(), dll.c_str(), FALSE);
  platformState->files.push_back(dll);

  std::string text;
  for (const char* section : {"KEL", "VST"}) {
    text += std::string("[") + section + "]\r\n";
    for (const auto& entry : ini) {
      if (entry.first == section && !entry.second.second.empty()) {
        text += entry.second.first + "=" + entry.second.second + "\r\n";
      }
    }
  }
  if (FILE* file = std::fopen(iniPath.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  platformState->files.push_back(iniPath);

  platformState->pluginModule = LoadLibraryA(dll.c_str());
  if (platformState->pluginModule == nullptr) return nullptr;
  redirectPlatformCalls(platformState->pluginModule);
  using MainProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);
  auto entry = exportOf<MainProc>(platformState->pluginModule, "main");
  if (entry == nullptr) return nullptr;
  openEffect = entry(callback);
  return openEffect;
}

std::vector<std::string> BridgeHarness::errorBoxes() const {
  std::vector<std::string> texts;
  for (std::size_t i = platformState->firstBox; i < boxes().size(); ++i) {
    texts.push_back(boxes()[i].text);
  }
  return texts;
}

int BridgeHarness::registryKeysLeftOpen() const {
  return static_cast<int>(registryLog().open.size());
}

int BridgeHarness::failedRegistryCloses() const {
  return registryLog().failedCloses - failedClosesBefore;
}

std::vector<std::string> BridgeHarness::errorBoxDetails() const {
  std::vector<std::string> details;
  for (std::size_t i = platformState->firstBox; i < boxes().size(); ++i) {
    details.push_back(boxes()[i].details);
  }
  return details;
}

#endif
