// The contract's curve helpers against the bridge's own converters (chosen
// by ConverterFor, as every host access is): the same float for the host and
// the same engine value back, bit for bit, over a sweep of descriptions,
// values and host values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "bridge/converter_choice.h"
#include "kel/parameter_curve.h"

namespace {

kel::SParameterInfo description(std::int32_t curve, std::int32_t decimals, std::int32_t minimum,
                                std::int32_t maximum, std::uint32_t logBase) {
  kel::SParameterInfo info;
  info.curve = curve;
  info.decimals = decimals;
  info.minimum = minimum;
  info.maximum = maximum;
  info.logBase = logBase;
  return info;
}

// What the bridge gives the host, as AGain does it.
float bridgeNormalized(const kel::SParameterInfo& info, std::int32_t value) {
  const bridge::ConverterFor converter(info);
  if (converter.get() == nullptr) return 0.0f;
  const float result = static_cast<float>(converter.get()->valueToNormalized(value));
  return std::isfinite(result) ? result : 0.0f;
}

bool bridgeValue(const kel::SParameterInfo& info, float normalized, std::int32_t* value) {
  const bridge::ConverterFor converter(info);
  if (converter.get() == nullptr) return false;
  *value = converter.get()->normalizedToValue(static_cast<double>(normalized));
  return true;
}

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

TEST(ParameterCurve, SameResultsAsTheBridgeForEveryCurve) {
  const kel::SParameterInfo descriptions[] = {
      description(kel::kCurveLinear, 0, 0, 100, 0),
      description(kel::kCurveLinear, 1, -600, 120, 0),
      description(kel::kCurveLinear, 3, -1, 1, 0),
      description(kel::kCurveLinear, -1, 2, 9, 0),
      description(kel::kCurveLinear, 0, 5, 5, 0),  // no range: every value at 0
      description(kel::kCurveLinear, 0, INT32_MIN, INT32_MAX, 0),
      description(kel::kCurveLogarithmic, 0, 20, 20000, 10),
      description(kel::kCurveLogarithmic, 0, 20, 20000, 1000),
      description(kel::kCurveLogarithmic, 1, -600, 0, 10),
      description(kel::kCurveLogarithmic, 2, 1, 100000, 100),
      description(kel::kCurveLogarithmic, 0, 0, 1, 2),
      description(kel::kCurveLogarithmic, 0, 0, 1000, 0xFFFFFFFFu),
      description(kel::kCurveLogarithmic, 0, 0, 2000000000, 10),  // the top clamp shows
      description(kel::kCurveLogarithmic, 0, 0, 100, 1),          // bases below 2: no curve
      description(kel::kCurveLogarithmic, 0, 0, 100, 0),
      description(2, 0, 0, 100, 10),                    // unknown curve
      description(kel::kCurveLinear, 400, 0, 100, 0),   // no finite scale
      description(kel::kCurveLinear, -400, 0, 100, 0),  // no finite bounds
  };
  std::vector<float> hostValues = {-0.25f,      -0.0f, 0.0f, 1e-30f, 0.5f,    0.9999996f,
                                   0.99999994f, 1.0f,  1.5f, NAN,    INFINITY};
  for (int i = 0; i <= 1000; ++i) hostValues.push_back(static_cast<float>(i) / 1000.0f);
  int compared = 0;
  for (const kel::SParameterInfo& info : descriptions) {
    SCOPED_TRACE(testing::Message()
                 << "curve " << info.curve << ", decimals " << info.decimals << ", " << info.minimum
                 << ".." << info.maximum << ", base " << info.logBase);
    EXPECT_EQ(bridge::ConverterFor(info).get() != nullptr, kel::hasHostCurve(info));
    // Engine values from below the minimum to above the maximum.
    const double span = static_cast<double>(info.maximum) - info.minimum;
    for (int step = -20; step <= 220; ++step) {
      const double at = info.minimum + span * step / 200.0;
      const std::int32_t value =
          static_cast<std::int32_t>(std::fmax(INT32_MIN, std::fmin(INT32_MAX, at)));
      ASSERT_EQ(bitsOf(bridgeNormalized(info, value)),
                bitsOf(kel::normalizedFromValue(info, value)))
          << "value " << value;
      ++compared;
    }
    for (float x : hostValues) {
      std::int32_t expected = 0x5A5A5A5A;
      std::int32_t got = 0x5A5A5A5A;
      ASSERT_EQ(bridgeValue(info, x, &expected), kel::valueFromNormalized(info, x, &got)) << x;
      ASSERT_EQ(expected, got) << "host value " << x;
      ++compared;
    }
  }
  EXPECT_GT(compared, 20000);
}

// The figures a vendor reads in the guide: B = 10 puts the host's middle at
// 24 % of the range, B = 100 at 1/11; the top of the host's range is the
// maximum exactly.
TEST(ParameterCurve, GuideFigures) {
  const kel::SParameterInfo cutoff = description(kel::kCurveLogarithmic, 0, 20, 20000, 1000);
  std::int32_t value = 0;
  ASSERT_TRUE(kel::valueFromNormalized(cutoff, 1.0f, &value));
  EXPECT_EQ(20000, value);
  ASSERT_TRUE(
      kel::valueFromNormalized(description(kel::kCurveLogarithmic, 0, 0, 1100, 100), 0.5f, &value));
  EXPECT_EQ(100, value);
  ASSERT_TRUE(
      kel::valueFromNormalized(description(kel::kCurveLogarithmic, 0, 0, 10000, 10), 0.5f, &value));
  EXPECT_EQ(2403, value);
  EXPECT_FALSE(kel::valueFromNormalized(description(7, 0, 0, 1, 0), 0.5f, &value));
  EXPECT_EQ(2403, value);
}

}  // namespace
