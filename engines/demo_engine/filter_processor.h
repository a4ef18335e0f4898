// Process index 1: a resonant filter with selectable type. The cutoff glides
// towards its setting in short steps so sweeps do not click.
#pragma once

#include <array>

#include "demo_processor.h"
#include "state_variable_filter.h"

namespace demo {

class FilterProcessor : public DemoProcessor {
 public:
  enum Parameter : std::int32_t { kCutoff, kType, kResonance, kParameterCount };

  FilterProcessor();

 protected:
  void render(float** outputs, float** inputs, std::int32_t inputCount, std::int32_t outputCount,
              std::int32_t frames) override;
  void reset() override;
  void settle() override;

 private:
  double targetQ() const;

  std::array<StateVariableFilter, kMaxChannels> filters_;
  double smoothedLogCutoff_ = 0.0;
};

}  // namespace demo
