#include "parameter_bank.h"

#include <algorithm>
#include <cmath>

namespace demo {

ParameterBank::ParameterBank(const ParameterDefinition* definitions, std::int32_t count)
    : definitions_(definitions), count_(std::clamp<std::int32_t>(count, 0, kMaxParameters)) {
  resetToDefaults();
}

const ParameterDefinition* ParameterBank::definition(std::int32_t index) const {
  return index >= 0 && index < count_ ? &definitions_[index] : nullptr;
}

std::int32_t ParameterBank::get(std::int32_t index) const {
  return definition(index) ? values_[index].load(std::memory_order_relaxed) : 0;
}

bool ParameterBank::set(std::int32_t index, std::int32_t value) {
  const ParameterDefinition* s = definition(index);
  if (!s) return false;
  values_[index].store(std::clamp(value, s->minimum, s->maximum), std::memory_order_relaxed);
  return true;
}

bool ParameterBank::accepts(std::int32_t index, std::int32_t value) const {
  const ParameterDefinition* s = definition(index);
  return s && value >= s->minimum && value <= s->maximum;
}

double ParameterBank::real(std::int32_t index) const {
  const ParameterDefinition* s = definition(index);
  return s ? get(index) / std::pow(10.0, s->decimals) : 0.0;
}

void ParameterBank::resetToDefaults() {
  for (std::int32_t i = 0; i < count_; ++i) {
    values_[i].store(definitions_[i].defaultValue, std::memory_order_relaxed);
  }
}

}  // namespace demo
