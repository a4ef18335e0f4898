// What the .ini file beside the plug-in library says about the effect.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kel {

struct BridgeConfiguration {
  static constexpr std::size_t kTextSize = 64;  // 63 characters and the NUL
  static constexpr std::size_t kPathSize = 261;

  char guid[kTextSize] = {};  // registry key of the engine product
  char name[kTextSize] = {};  // effect name shown to the host
  std::int32_t channelsIn = 0;
  std::int32_t channelsOut = 0;  // 0: ask the engine
  std::int32_t uniqueId = 0;
  std::int32_t processIndex = 0;
};

// The configuration file of a library: its full path with everything from
// the last "." onward replaced by ".ini" (".ini" is appended when the path has
// no "."). False when the result does not fit `size` bytes.
bool configurationPathFor(const char* libraryPath, char* out, std::size_t size);

// Reads the configuration of the library `module` (keys missing: defaults).
// Channel counts below zero are read as 0.
BridgeConfiguration readBridgeConfiguration(void* module);

}  // namespace kel
