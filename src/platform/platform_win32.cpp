// Win32 implementation of the platform doorway.
#include <windows.h>

#include <cstring>

#include <tlhelp32.h>
#include "platform/path_size.h"

#include "platform/platform.h"

namespace platform {

bool moduleFileName(void* module, char* path, std::size_t size) {
  if (path == nullptr || size == 0) return false;
  path[0] = '\0';
  const DWORD length =
      GetModuleFileNameA(static_cast<HMODULE>(module), path, static_cast<DWORD>(size));
  // A result equal to the buffer size means the path was cut short.
  if (length == 0 || length >= size) {
    path[0] = '\0';
    return false;
  }
  return true;
}

void readProfileString(const char* file, const char* section, const char* key, const char* fallback,
                       char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  GetPrivateProfileStringA(section, key, fallback, out, static_cast<DWORD>(size), file);
  out[size - 1] = '\0';
}

std::int32_t readProfileInt(const char* file, const char* section, const char* key,
                            std::int32_t fallback) {
  return static_cast<std::int32_t>(GetPrivateProfileIntA(section, key, fallback, file));
}

bool profileHasSection(const char* file, const char* section) {
  // The first few bytes of the section's lines tell whether it has any.
  char lines[16] = {};
  return GetPrivateProfileSectionA(section, lines, sizeof lines, file) != 0;
}

void showErrorBox(const char* text) {
  MessageBoxA(nullptr, text, nullptr, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

RegistryKey::~RegistryKey() {
  close();
}

bool RegistryKey::open(const RegistryKey* parent, const char* name) {
  close();
  HKEY root = parent != nullptr ? static_cast<HKEY>(parent->handle) : HKEY_LOCAL_MACHINE;
  if (root == nullptr) return false;
  HKEY key = nullptr;
  if (RegOpenKeyA(root, name, &key) != ERROR_SUCCESS) return false;
  handle = key;
  // An empty name gives back the parent's own handle: closing it here too
  // would close one handle twice.
  ownsHandle = key != root;
  return true;
}

bool RegistryKey::queryString(const char* name, char* out, std::size_t size) const {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (handle == nullptr) return false;
  // Leave room for a terminator the stored value may lack.
  DWORD bytes = static_cast<DWORD>(size - 1);
  DWORD type = 0;
  const LONG status = RegQueryValueExA(static_cast<HKEY>(handle), name, nullptr, &type,
                                       reinterpret_cast<BYTE*>(out), &bytes);
  if (status != ERROR_SUCCESS) {
    out[0] = '\0';
    return false;
  }
  out[bytes < size ? bytes : size - 1] = '\0';
  return true;
}

long RegistryKey::createWithString(const char* name, const char* valueName, const char* value) {
  close();
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, name, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return status;
  handle = key;
  ownsHandle = true;
  status = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1));
  return status;
}

long deleteRegistryKey(const char* name) {
  return RegDeleteKeyA(HKEY_LOCAL_MACHINE, name);
}

void RegistryKey::close() {
  if (handle != nullptr && ownsHandle) RegCloseKey(static_cast<HKEY>(handle));
  handle = nullptr;
  ownsHandle = false;
}

Handle::~Handle() {
  reset();
}

bool Handle::valid() const {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

void Handle::reset(void* value) {
  if (valid()) CloseHandle(static_cast<HANDLE>(handle));
  handle = value;
}

Library::~Library() {
  unload();
}

bool Library::load(const char* path) {
  unload();
  handle = LoadLibraryA(path);
  return handle != nullptr;
}

bool Library::load(const wchar_t* path) {
  unload();
  handle = LoadLibraryW(path);
  return handle != nullptr;
}

bool Library::loadForInspection(const char* path) {
  unload();
  handle = LoadLibraryExA(path, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  return handle != nullptr;
}

bool Library::loadForInspection(const wchar_t* path) {
  unload();
  handle = LoadLibraryExW(path, nullptr, DONT_RESOLVE_DLL_REFERENCES);
  return handle != nullptr;
}

void* Library::symbol(const char* name) const {
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void Library::unload() {
  if (handle != nullptr) {
    FreeLibrary(static_cast<HMODULE>(handle));
    handle = nullptr;
  }
}

// --- plughost's validator: threads, shared memory, modules, files ---

namespace {

struct ThreadStart {
  Thread::Function function;
  void* argument;
};

DWORD WINAPI runThread(void* start) {
  const ThreadStart begin = *static_cast<ThreadStart*>(start);
  delete static_cast<ThreadStart*>(start);
  begin.function(begin.argument);
  return 0;
}

}  // namespace

Thread::~Thread() {
  join();
}

bool Thread::start(Function function, void* argument) {
  join();
  auto* begin = new ThreadStart{function, argument};
  HANDLE thread = CreateThread(nullptr, 0, runThread, begin, 0, nullptr);
  if (thread == nullptr) {
    delete begin;
    return false;
  }
  handle.reset(thread);
  return true;
}

void Thread::join() {
  if (!handle.valid()) return;
  WaitForSingleObject(static_cast<HANDLE>(handle.get()), INFINITE);
  handle.reset();
}

MappedView::~MappedView() {
  if (view != nullptr) UnmapViewOfFile(view);
}

void* MappedView::map(std::uintptr_t mapping, std::size_t size) {
  if (view != nullptr) UnmapViewOfFile(view);
  view = MapViewOfFile(reinterpret_cast<HANDLE>(mapping), FILE_MAP_ALL_ACCESS, 0, 0, size);
  return view;
}

void* createTemporaryFile(const wchar_t* path) {
  return CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

void* loadedModule(const char* name) {
  return GetModuleHandleA(name);
}

void* moduleSymbol(void* module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void* moduleAt(const void* address) {
  HMODULE module = nullptr;
  const DWORD flags =
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (!GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module)) return nullptr;
  return module;
}

std::size_t loadedModules(void** modules, std::size_t capacity) {
  const Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId()));
  if (!snapshot.valid()) return 0;
  MODULEENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  std::size_t count = 0;
  for (BOOL more = Module32First(snapshot.get(), &entry); more;
       more = Module32Next(snapshot.get(), &entry), ++count) {
    if (count < capacity) modules[count] = entry.hModule;
  }
  return count;
}

void endProcess(std::uint32_t code) {
  TerminateProcess(GetCurrentProcess(), code);
  // TerminateProcess of the own process does not return; this is for the
  // compiler.
  for (;;) Sleep(INFINITE);
}

}  // namespace platform

// --- path capacity ---
static_assert(platform::kMaxPathSize == MAX_PATH, "the system's own limit");
