#include "platform_fake.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "platform/platform.h"

namespace {

struct FakeLibrary {
  std::vector<std::pair<std::string, void*>> symbols;
  int loads = 0;
};

struct FakeKey {
  std::string path;
};

struct State {
  std::map<const void*, std::string> modulePaths;  // by module handle
  std::map<std::string, std::string> profile;      // "file|section|key"
  std::set<std::string> keys;
  std::map<std::string, std::string> values;  // "key|name"
  std::map<std::string, FakeLibrary> libraries;
  std::vector<std::string> boxes;
  std::set<FakeKey*> openKeys;
  int failedCloses = 0;
};

State& state() {
  static State s;
  return s;
}

void copyBounded(char* out, std::size_t size, const std::string& text) {
  const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

namespace fakeplatform {

void reset() {
  state() = State{};
}
void setModulePath(const void* module, const std::string& path) {
  state().modulePaths[module] = path;
}

void setProfileString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& value) {
  state().profile[file + "|" + section + "|" + key] = value;
}

void addRegistryKey(const std::string& path) {
  std::string prefix;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\') {
      state().keys.insert(path.substr(0, i));
    }
  }
}

void setRegistryValue(const std::string& keyPath, const std::string& name,
                      const std::string& bytes) {
  state().values[keyPath + "|" + name] = bytes;
}

void registerLibrary(const std::string& path,
                     const std::vector<std::pair<std::string, void*>>& symbols) {
  state().libraries[path].symbols = symbols;
}

int libraryLoadCount(const std::string& path) {
  auto it = state().libraries.find(path);
  return it == state().libraries.end() ? 0 : it->second.loads;
}

int openRegistryKeys() {
  return static_cast<int>(state().openKeys.size());
}
int failedRegistryCloses() {
  return state().failedCloses;
}
const std::vector<std::string>& errorBoxes() {
  return state().boxes;
}

}  // namespace fakeplatform

namespace platform {

// Like the platform, answers only for a module it knows.
bool moduleFileName(void* module, char* path, std::size_t size) {
  if (path == nullptr || size == 0) return false;
  auto it = state().modulePaths.find(module);
  if (it == state().modulePaths.end() || it->second.size() >= size) {
    path[0] = '\0';
    return false;
  }
  copyBounded(path, size, it->second);
  return true;
}

void readProfileString(const char* file, const char* section, const char* key, const char* fallback,
                       char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  auto it = state().profile.find(std::string(file) + "|" + section + "|" + key);
  copyBounded(out, size, it == state().profile.end() ? std::string(fallback) : it->second);
}

std::int32_t readProfileInt(const char* file, const char* section, const char* key,
                            std::int32_t fallback) {
  auto it = state().profile.find(std::string(file) + "|" + section + "|" + key);
  if (it == state().profile.end()) return fallback;
  return static_cast<std::int32_t>(std::strtol(it->second.c_str(), nullptr, 10));
}

bool profileHasSection(const char* file, const char* section) {
  const std::string prefix = std::string(file) + "|" + section + "|";
  auto it = state().profile.lower_bound(prefix);
  return it != state().profile.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

void showErrorBox(const char* text) {
  state().boxes.emplace_back(text);
}

RegistryKey::~RegistryKey() {
  close();
}

// Like the registry, an empty name below a parent answers the parent's own
// handle; the owner rule of the real platform file is repeated here.
bool RegistryKey::open(const RegistryKey* parent, const char* name) {
  close();
  std::string path;
  if (parent != nullptr) {
    if (parent->handle == nullptr) return false;
    if (name == nullptr || name[0] == '\0') {
      handle = parent->handle;
      ownsHandle = false;
      return true;
    }
    path = static_cast<FakeKey*>(parent->handle)->path;
  }
  if (name != nullptr && name[0] != '\0') path = path.empty() ? name : path + "\\" + name;
  if (state().keys.count(path) == 0) return false;
  auto* key = new FakeKey{path};
  state().openKeys.insert(key);
  handle = key;
  ownsHandle = true;
  return true;
}

bool RegistryKey::queryString(const char* name, char* out, std::size_t size) const {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (handle == nullptr) return false;
  auto it = state().values.find(static_cast<FakeKey*>(handle)->path + "|" + name);
  if (it == state().values.end() || it->second.size() > size - 1) return false;
  copyBounded(out, size, it->second);
  return true;
}

long RegistryKey::createWithString(const char* name, const char* valueName, const char* value) {
  fakeplatform::addRegistryKey(name);
  fakeplatform::setRegistryValue(name, valueName, value);
  return open(nullptr, name) ? 0 : 1;
}

// A close of a key that is not open is counted, not performed, as the
// registry refuses it.
void RegistryKey::close() {
  if (handle != nullptr && ownsHandle) {
    auto* key = static_cast<FakeKey*>(handle);
    if (state().openKeys.erase(key) != 0) {
      delete key;
    } else {
      ++state().failedCloses;
    }
  }
  handle = nullptr;
  ownsHandle = false;
}

// Natively no handle is a system object: nothing to close.
Handle::~Handle() = default;

bool Handle::valid() const {
  return handle != nullptr && handle != reinterpret_cast<void*>(static_cast<std::intptr_t>(-1));
}

void Handle::reset(void* value) {
  handle = value;
}

Library::~Library() {
  unload();
}

bool Library::load(const char* path) {
  unload();
  auto it = state().libraries.find(path);
  if (it == state().libraries.end()) return false;
  ++it->second.loads;
  handle = &*it;
  return true;
}

bool Library::loadForInspection(const char* path) {
  return load(path);
}

void* Library::symbol(const char* name) const {
  if (handle == nullptr) return nullptr;
  auto* entry = static_cast<std::pair<const std::string, FakeLibrary>*>(handle);
  for (const auto& symbol : entry->second.symbols) {
    if (symbol.first == name) return symbol.second;
  }
  return nullptr;
}

void Library::unload() {
  if (handle != nullptr) {
    --static_cast<std::pair<const std::string, FakeLibrary>*>(handle)->second.loads;
    handle = nullptr;
  }
}

}  // namespace platform

// --- plughost's files, windows and drawings -------------------------------
namespace platform {

// As the registry: a key with subkeys or no key at all is not deleted.
long deleteRegistryKey(const char* name) {
  const std::string path = name;
  if (state().keys.count(path) == 0) return 2;  // ERROR_FILE_NOT_FOUND
  for (const std::string& key : state().keys) {
    if (key.size() > path.size() && key.compare(0, path.size() + 1, path + "\\") == 0) return 5;
  }
  state().keys.erase(path);
  for (auto it = state().values.begin(); it != state().values.end();) {
    it = it->first.compare(0, path.size() + 1, path + "|") == 0 ? state().values.erase(it)
                                                                : std::next(it);
  }
  return 0;
}

}  // namespace platform
