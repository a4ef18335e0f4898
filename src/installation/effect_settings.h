// What an installed effect is made of: a copy of the plug-in library, and
// beside it a settings file that names the engine product (a GUID), the
// engine's processor, the channel counts, the unique ID and the effect's name.
// The plug-in reads the file through this module and plughost writes and reads
// it through it, so both always agree on the path rule, sections and keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/path_size.h"

namespace installation {

// A GUID or effect name as read from the settings file: 63 bytes and the NUL.
constexpr std::size_t kTextSize = 64;
// The plug-in's buffer for a full path (its own, its settings file's, the
// engine's): one byte more than the system's longest path with its NUL.
constexpr std::size_t kPathSize = platform::kMaxPathSize + 1;

// The file's sections and keys.
constexpr char kKelSection[] = "KEL";
constexpr char kGuidKey[] = "GUID";
constexpr char kChannelsInKey[] = "ChannelsIn";
constexpr char kChannelsOutKey[] = "ChannelsOut";
constexpr char kIdKey[] = "ID";
constexpr char kProcessIndexKey[] = "ProcessIndex";
constexpr char kVstSection[] = "VST";
constexpr char kNameKey[] = "Name";
// Optional: the vendor name and version the effect answers hosts with. Without
// them it answers "Velmora" and 0.
constexpr char kVendorNameKey[] = "Vendor";
constexpr char kVendorVersionKey[] = "VendorVersion";

struct EffectSettings {
  char guid[kTextSize] = {};  // the engine product's registry key name
  char name[kTextSize] = {};  // effect name shown to the host
  std::int32_t channelsIn = 0;
  std::int32_t channelsOut = 0;  // 0: the engine's default
  std::int32_t uniqueId = 0;
  std::int32_t processIndex = 0;
  char vendor[kTextSize] = {};     // empty: the bridge's own vendor name
  std::int32_t vendorVersion = 0;  // 0: no version
};

// The settings file of a library: its full path with everything from the
// last "." onward (even one in a folder name) replaced by ".ini"; ".ini" is
// appended when the path has no ".". False, with `out` empty, when the result
// does not fit `size` bytes. Allocates nothing.
bool settingsPathFor(const char* libraryPath, char* out, std::size_t size);
std::string settingsPathFor(const std::string& libraryPath);

// Reads the file at `settingsPath` (missing keys: the defaults above).
// Channel counts below zero read as 0: hosts size their arrays from them.
// Allocates nothing.
EffectSettings readEffectSettings(const char* settingsPath);

// True when the file at `settingsPath` has a [KEL] section: a bridge effect's.
bool hasEffectSettings(const char* settingsPath);

// The whole file as install writes it: [KEL] with GUID, ChannelsIn,
// ChannelsOut, ID and ProcessIndex, a blank line, [VST] with Name, then
// Vendor when it is not empty and VendorVersion when it is not 0; Windows
// line ends.
std::string settingsText(const EffectSettings& settings);

}  // namespace installation
