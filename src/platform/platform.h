// The only doorway to the operating system. Windows builds use the real Win32
// calls (platform_win32.cpp); native test builds link a recording test double.
// Every function is bounded by the buffer size it is given, NUL-terminates its
// output and reports failure with false or an empty result; none throws.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Full path of a loaded module (null: the running program). False when it
// cannot be read or does not fit; `path` is then empty.
bool moduleFileName(void* module, char* path, std::size_t size);

// One key of an .ini file, with the default when the key is missing.
void readProfileString(const char* file, const char* section, const char* key, const char* fallback,
                       char* out, std::size_t size);
std::int32_t readProfileInt(const char* file, const char* section, const char* key,
                            std::int32_t fallback);
// True when the .ini file exists and has `section` with at least one key.
bool profileHasSection(const char* file, const char* section);

// An error box with no owner window, the platform's default caption, an OK
// button, task-modal and brought to the foreground.
void showErrorBox(const char* text);

// Owner of one open key below HKEY_LOCAL_MACHINE; closes it when destroyed.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Opens `name` below HKEY_LOCAL_MACHINE, or below `parent` when given. An
  // empty name answers the parent's own key (the platform hands back the
  // same handle), which stays the parent's to close.
  bool open(const RegistryKey* parent, const char* name);
  // Reads a value of any type as bytes into `out` and NUL-terminates it; a
  // value that does not fit is a failure.
  bool queryString(const char* name, char* out, std::size_t size) const;
  // Opens `name` below HKEY_LOCAL_MACHINE for writing, creating it and any
  // missing parents, and sets its string value `value`. 0, or the system's
  // error code.
  long createWithString(const char* name, const char* valueName, const char* value);
  void close();

 private:
  void* handle = nullptr;
  bool ownsHandle = false;  // false for a parent's key reached by an empty name
};

// Owner of one loaded library; unloads it when destroyed.
class Library {
 public:
  Library() = default;
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool load(const char* path);
  // The same for a path of any language (UTF-16), as plughost loads plug-ins.
  bool load(const wchar_t* path);
  // Maps the library only to read its exports: none of its code runs and
  // none of its imports are loaded.
  bool loadForInspection(const char* path);
  // The same for a UTF-16 path (plughost takes paths of any language).
  bool loadForInspection(const wchar_t* path);
  void* symbol(const char* name) const;
  void unload();

 private:
  void* handle = nullptr;
};

// Owner of one kernel object handle (a file, a mapping, a process, a thread);
// closes it when destroyed. Null and the invalid value (-1) own nothing.
class Handle {
 public:
  Handle() = default;
  explicit Handle(void* value) : handle(value) {}
  ~Handle();
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  void* get() const { return handle; }
  bool valid() const;
  // Closes the handle held and takes `value`.
  void reset(void* value = nullptr);

 private:
  void* handle = nullptr;
};

// --- plughost's validator: threads, shared memory, modules, files ---

// Owner of one thread running `function(argument)`; joins it when destroyed.
class Thread {
 public:
  using Function = void (*)(void* argument);
  Thread() = default;
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // Starts the thread; false when the system refuses (nothing runs then).
  bool start(Function function, void* argument);
  bool running() const { return handle.valid(); }
  // Waits for the thread's end; nothing when none runs.
  void join();

 private:
  Handle handle;
};

// Owner of one view of a shared-memory mapping handed over by another
// process (by the handle's value); unmaps it when destroyed.
class MappedView {
 public:
  MappedView() = default;
  ~MappedView();
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  // Maps `size` bytes of the mapping whose handle value is `mapping`; null
  // when it cannot.
  void* map(std::uintptr_t mapping, std::size_t size);

 private:
  void* view = nullptr;
};

// Creates `path` (UTF-16) as a new temporary file, deleted when its handle
// closes; an invalid handle when the file exists or the folder takes no
// new files.
void* createTemporaryFile(const wchar_t* path);

// The loaded module (not owned) named `name`, e.g. "kernel32.dll"; null when
// it is not loaded.
void* loadedModule(const char* name);
// An export of a loaded module; null when it has none of that name.
void* moduleSymbol(void* module, const char* name);
// The loaded module (not owned) that holds `address`; null when none.
void* moduleAt(const void* address);
// Up to `capacity` modules loaded in this process into `modules`; answers
// how many there are (which may exceed `capacity`).
std::size_t loadedModules(void** modules, std::size_t capacity);

// Ends this process at once with `code`: no destructor, no handler runs.
[[noreturn]] void endProcess(std::uint32_t code);

}  // namespace platform

// --- plughost's files, windows and drawings -------------------------------
#include <string>
#include <vector>

namespace platform {

// The program's command line split into arguments as the system splits it,
// in UTF-16 (empty when it cannot be read).
std::vector<std::wstring> commandLineArguments();

// Owner of a window's device context (GetDC); released when destroyed.
class WindowDc {
 public:
  explicit WindowDc(void* ofWindow);
  ~WindowDc();
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  void* get() const { return dc; }

 private:
  void* window = nullptr;
  void* dc = nullptr;
};

// Owner of a memory device context compatible with `like` (null: the
// screen); deleted when destroyed, after the object selected into it by
// select() is put back.
class MemoryDc {
 public:
  explicit MemoryDc(void* like);
  ~MemoryDc();
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  void* get() const { return dc; }
  // Selects `object` (the DC's first selection is remembered and restored).
  void select(void* object);

 private:
  void* dc = nullptr;
  void* original = nullptr;
};

// Owner of one GDI object (pen, font, bitmap, region); deleted when
// destroyed. Delete it only after it is no longer selected into a DC.
class GdiObject {
 public:
  explicit GdiObject(void* owned = nullptr) : object(owned) {}
  ~GdiObject();
  GdiObject(const GdiObject&) = delete;
  GdiObject& operator=(const GdiObject&) = delete;
  void* get() const { return object; }

 private:
  void* object = nullptr;
};

// Deletes the key `name` below HKEY_LOCAL_MACHINE (with no subkeys): 0, or
// the system's error code.
long deleteRegistryKey(const char* name);

}  // namespace platform
