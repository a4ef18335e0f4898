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
  std::uint8_t padding[3] = {0, 0, 0};
};

constexpr std::int32_t kDisplayNamedValues = 1;
constexpr std::int32_t kCurveLinear = 0;
constexpr std::int32_t kCurveLogarithmic = 1;

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
#define KEL_PIN_INFO(field, offset) \
  static_assert(sizeof(void*) != 4 || offsetof(SParameterInfo, field) == (offset), #field)
static_assert(sizeof(void*) != 4 || sizeof(SParameterInfo) == 56, "SParameterInfo size");
KEL_PIN_INFO(name, 4);
KEL_PIN_INFO(label, 8);
KEL_PIN_INFO(displayType, 12);
KEL_PIN_INFO(minimum, 16);
KEL_PIN_INFO(maximum, 20);
KEL_PIN_INFO(unused24, 24);
KEL_PIN_INFO(decimals, 28);
KEL_PIN_INFO(minimumText, 32);
KEL_PIN_INFO(maximumText, 36);
KEL_PIN_INFO(curve, 40);
KEL_PIN_INFO(logBase, 44);
KEL_PIN_INFO(valueNames, 48);
KEL_PIN_INFO(automatable, 52);
#undef KEL_PIN_INFO
// The 64-bit record: pointers of 8 bytes on 8-byte boundaries.
#define KEL_PIN_INFO64(field, offset) \
  static_assert(sizeof(void*) != 8 || offsetof(SParameterInfo, field) == (offset), #field)
static_assert(sizeof(void*) != 8 || sizeof(SParameterInfo) == 88, "SParameterInfo size");
KEL_PIN_INFO64(name, 8);
KEL_PIN_INFO64(label, 16);
KEL_PIN_INFO64(displayType, 24);
KEL_PIN_INFO64(minimum, 28);
KEL_PIN_INFO64(maximum, 32);
KEL_PIN_INFO64(unused24, 36);
KEL_PIN_INFO64(decimals, 40);
KEL_PIN_INFO64(minimumText, 48);
KEL_PIN_INFO64(maximumText, 56);
KEL_PIN_INFO64(curve, 64);
KEL_PIN_INFO64(logBase, 68);
KEL_PIN_INFO64(valueNames, 72);
KEL_PIN_INFO64(automatable, 80);
#undef KEL_PIN_INFO64
#pragma GCC diagnostic pop

}  // namespace kel
