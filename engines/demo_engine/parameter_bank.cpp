#include "parameter_bank.h"

#include <algorithm>
#include <cmath>

namespace demo {

ParameterBank::ParameterBank(const ParameterSpec* specs, std::int32_t count)
    : specs_(specs), count_(std::clamp<std::int32_t>(count, 0, kMaxParameters)) {
  resetToDefaults();
}

const ParameterSpec* ParameterBank::spec(std::int32_t index) const {
  return index >= 0 && index < count_ ? &specs_[index] : nullptr;
}

std::int32_t ParameterBank::get(std::int32_t index) const {
  return spec(index) ? values_[index].load(std::memory_order_relaxed) : 0;
}

bool ParameterBank::set(std::int32_t index, std::int32_t value) {
  const ParameterSpec* s = spec(index);
  if (!s) return false;
  values_[index].store(std::clamp(value, s->minimum, s->maximum), std::memory_order_relaxed);
  return true;
}

bool ParameterBank::accepts(std::int32_t index, std::int32_t value) const {
  const ParameterSpec* s = spec(index);
  return s && value >= s->minimum && value <= s->maximum;
}

double ParameterBank::real(std::int32_t index) const {
  const ParameterSpec* s = spec(index);
  return s ? get(index) / std::pow(10.0, s->decimals) : 0.0;
}

void ParameterBank::resetToDefaults() {
  for (std::int32_t i = 0; i < count_; ++i) {
    values_[i].store(specs_[i].defaultValue, std::memory_order_relaxed);
  }
}

}  // namespace demo
