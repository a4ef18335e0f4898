// Process index 0: a gain stage in decibels with a polarity switch. Each input
// channel feeds the output channel of the same number (the last input feeds
// any extra outputs). Gain changes ramp over one block to avoid clicks.
#pragma once

#include "demo_processor.h"

namespace demo {

class GainProcessor : public DemoProcessor {
 public:
  enum Parameter : std::int32_t { kGain, kPolarity, kParameterCount };

  GainProcessor();

  // The linear factor for the current settings: 0 at the minimum ("-inf").
  float targetFactor() const;

 protected:
  void render(float** outputs, float** inputs, std::int32_t inputCount, std::int32_t outputCount,
              std::int32_t frames) override;
  void settle() override;

 private:
  float factor_ = 1.0f;
};

}  // namespace demo
