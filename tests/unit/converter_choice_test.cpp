#include "bridge/converter_choice.h"

#include <gtest/gtest.h>

#include <cmath>

#include "convert/converter_linear.h"
#include "convert/converter_log.h"

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

TEST(ConverterFor, LinearCurveGetsDecimalsAndBounds) {
  const bridge::ConverterFor c(description(0, 1, -600, 120, 100));
  ASSERT_NE(c.get(), nullptr);
  EXPECT_NE(dynamic_cast<ovu::CConverterLinear*>(c.get()), nullptr);
  EXPECT_EQ(c.get()->normalizedToValue(0.5), -240);  // the base is ignored
  EXPECT_EQ(c.get()->valueToRange(120), 0);          // range 0..0
}

TEST(ConverterFor, LogCurveGetsBaseAsUnsigned) {
  const bridge::ConverterFor c(description(1, 1, 0, 11000, 100));
  ASSERT_NE(c.get(), nullptr);
  EXPECT_NE(dynamic_cast<ovu::CConverterLog*>(c.get()), nullptr);
  EXPECT_EQ(c.get()->normalizedToValue(0.5), 1000);  // 1/11 of 1100.0, one decimal
  EXPECT_EQ(c.get()->valueToRange(11000), 0);

  // 2^32 - 1 must reach the converter as the same bits, not as -1 -> NaN.
  const bridge::ConverterFor widest(description(1, 0, 0, 100, 0xFFFFFFFFu));
  ASSERT_NE(widest.get(), nullptr);
  EXPECT_EQ(widest.get()->normalizedToValue(1.0), 100);
  EXPECT_GT(widest.get()->valueToNormalized(50), 0.96);
}

TEST(ConverterFor, OtherCurvesGetNoConverter) {
  for (std::int32_t curve : {2, -1, 0x7FFFFFFF}) {
    const bridge::ConverterFor c(description(curve, 0, 0, 100, 10));
    EXPECT_EQ(c.get(), nullptr) << curve;
  }
}

// Base 1 would divide 0 by 0 and base 0 take the logarithm of 0; hundreds of
// decimals leave a scale of 0 or infinity. Base 2 is the flattest valid curve.
TEST(ConverterFor, DescriptionsWithoutFiniteArithmeticGetNoConverter) {
  EXPECT_EQ(bridge::ConverterFor(description(1, 0, 0, 100, 1)).get(), nullptr);
  EXPECT_EQ(bridge::ConverterFor(description(1, 0, 0, 100, 0)).get(), nullptr);
  EXPECT_EQ(bridge::ConverterFor(description(0, 400, 0, 100, 0)).get(), nullptr);
  EXPECT_EQ(bridge::ConverterFor(description(0, -400, 0, 100, 0)).get(), nullptr);
  EXPECT_EQ(bridge::ConverterFor(description(0, -299, -1000000000, 1000000000, 0)).get(), nullptr);
  const bridge::ConverterFor c(description(1, 0, 0, 100, 2));
  ASSERT_NE(c.get(), nullptr);
  EXPECT_NEAR(c.get()->valueToNormalized(50), std::log2(1.5), 1e-12);
}

}  // namespace
