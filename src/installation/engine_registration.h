// Where an engine product is registered: the string value PathName, the
// engine library's full path, under HKEY_LOCAL_MACHINE\Software\KEL\<GUID>.
#pragma once

#include <cstddef>
#include <string>

namespace installation {

// The key's path below HKEY_LOCAL_MACHINE, one level at a time.
constexpr char kSoftwareKey[] = "Software";
constexpr char kVendorKey[] = "KEL";
constexpr char kEnginePathValue[] = "PathName";

// "Software\KEL\<guid>": the whole path, for messages and for writing.
std::string engineKeyName(const std::string& guid);

enum class EngineLookup { found, noKey, noValue };

// Reads the engine path registered under `guid` into `path` (NUL-terminated,
// empty unless found). A value that does not fit `size` is noValue. The keys
// are opened level by level, so an empty GUID reaches Software\KEL itself.
// Allocates nothing.
EngineLookup findEnginePath(const char* guid, char* path, std::size_t size);

// The only writers of the registry: creates the key of `guid` (and any
// missing parents) with `enginePath` as its PathName; removes it again. Each
// answers 0 or the system's error code (2: there was no such key).
long registerEnginePath(const std::string& guid, const std::string& enginePath);
long unregisterEngine(const std::string& guid);

}  // namespace installation
