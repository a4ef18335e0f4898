// The engine's description of one parameter (56 bytes on the 32-bit target,
// 88 on the 64-bit one).
// The bridge owns the record, the engine fills it; all strings stay owned by
// the engine and are valid only during the call that asked for them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kel {

struct SParameterInfo {
  // Constructing a record zeroes every field the engine may fill, so fields
  // the engine leaves alone read as 0 or null.
  SParameterInfo() = default;
  virtual ~SParameterInfo() {}

  const char* name = nullptr;
  const char* label = nullptr;
  std::int32_t displayType = 0;  // 1: show an item of valueNames
  std::int32_t minimum = 0;      // fixed point, `decimals` places
  std::int32_t maximum = 0;
  std::int32_t unused24 = 0;  // neither read nor set by the bridge
  std::int32_t decimals = 0;
  const char* minimumText = nullptr;  // shown at the minimum; null or empty: none
  const char* maximumText = nullptr;  // shown at the maximum; null or empty: none
  std::int32_t curve = 0;             // 0 linear, 1 logarithmic
  std::uint32_t logBase = 0;
  const char* valueNames = nullptr;  // "Off@On"
  std::uint8_t automatable = 0;      // nonzero: exposed to the host
  // Written out so the engine's record size is ours; 64-bit adds 4 more bytes
  // of tail padding to reach pointer alignment.
  std::uint8_t padding[3] = {0, 0, 0};
};

constexpr std::int32_t kDisplayNamedValues = 1;
constexpr std::int32_t kCurveLinear = 0;
constexpr std::int32_t kCurveLogarithmic = 1;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
// One check per field: its offset on the 32-bit and on the 64-bit target.
#define KEL_PIN_INFO(field, at32, at64) \
  static_assert(offsetof(SParameterInfo, field) == (sizeof(void*) == 4 ? (at32) : (at64)), #field)
static_assert(sizeof(SParameterInfo) == (sizeof(void*) == 4 ? 56 : 88), "SParameterInfo size");
// The virtual destructor puts the table pointer first, so name follows it.
KEL_PIN_INFO(name, 4, 8);
KEL_PIN_INFO(label, 8, 16);
KEL_PIN_INFO(displayType, 12, 24);
KEL_PIN_INFO(minimum, 16, 28);
KEL_PIN_INFO(maximum, 20, 32);
KEL_PIN_INFO(unused24, 24, 36);
KEL_PIN_INFO(decimals, 28, 40);
// 64-bit: 4 bytes of alignment padding after decimals.
KEL_PIN_INFO(minimumText, 32, 48);
KEL_PIN_INFO(maximumText, 36, 56);
KEL_PIN_INFO(curve, 40, 64);
KEL_PIN_INFO(logBase, 44, 68);
KEL_PIN_INFO(valueNames, 48, 72);
KEL_PIN_INFO(automatable, 52, 80);
KEL_PIN_INFO(padding, 53, 81);
#undef KEL_PIN_INFO
#pragma GCC diagnostic pop

}  // namespace kel
