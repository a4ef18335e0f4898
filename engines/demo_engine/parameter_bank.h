// The current values of one processor's parameters, [any thread]: values are
// atomics so the host's threads, the editor and the audio thread can share
// them without locks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "parameter_definition.h"

namespace demo {

class ParameterBank {
 public:
  static constexpr std::int32_t kMaxParameters = 8;

  // `definitions` must outlive the bank; at most kMaxParameters are used.
  ParameterBank(const ParameterDefinition* definitions, std::int32_t count);

  std::int32_t count() const { return count_; }
  // Null for an index outside 0..count-1.
  const ParameterDefinition* definition(std::int32_t index) const;
  // 0 for an index outside 0..count-1.
  std::int32_t get(std::int32_t index) const;
  // Stores the value clamped to the definition's bounds; false for a bad index.
  bool set(std::int32_t index, std::int32_t value);
  // True when `value` lies within the bounds of parameter `index`.
  bool accepts(std::int32_t index, std::int32_t value) const;
  // The value in real units: value / 10^decimals.
  double real(std::int32_t index) const;
  void resetToDefaults();

 private:
  const ParameterDefinition* definitions_;
  std::int32_t count_;
  std::array<std::atomic<std::int32_t>, kMaxParameters> values_;
};

}  // namespace demo
