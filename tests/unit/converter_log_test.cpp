#include "convert/converter_log.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

struct Bounds {
  std::int32_t decimals;
  std::int32_t scaledMinimum;
  std::int32_t scaledMaximum;
  std::int32_t base;
  std::int32_t rangeLow = 0;
  std::int32_t rangeHigh = 0;
};

ovu::IConverter* makeLog(const Bounds& b) {
  return new ovu::CConverterLog(b.decimals, b.scaledMinimum, b.scaledMaximum, b.base, b.rangeLow,
                                b.rangeHigh);
}

TEST(CConverterLog, NegativeBoundsBase10ForwardCurve) {
  // -60.0 .. 0.0 with one decimal place: the curve acts on the position.
  ovu::IConverter* c = makeLog({1, -600, 0, 10});
  EXPECT_DOUBLE_EQ(c->valueToNormalized(-600), 0.0);
  EXPECT_DOUBLE_EQ(c->valueToNormalized(0), 1.0);
  EXPECT_NEAR(c->valueToNormalized(-300), 0.7403626894942439, 1e-12);  // log10(5.5)
  c->release();
}

TEST(CConverterLog, NormalizedToValueTable) {
  struct Case {
    Bounds bounds;
    double normalized;
    std::int32_t value;
  } cases[] = {
      // Base 100: the middle of 0..1 sits at 1/11 of the engine range.
      {{0, 0, 1100, 100}, 0.5, 100},
      {{0, 0, 1100, 100}, 0.0, 0},
      // Negative bounds; -455.85 rounds away from zero.
      {{1, -600, 0, 10}, 0.5, -456},
      {{1, -600, 0, 10}, 0.0, -600},
      {{1, -600, 0, 10}, 1.0, 0},
      // Above 1 the top clamp returns exactly the scaled maximum.
      {{0, 0, 100, 10}, 1.5, 100},
      {{1, -600, 120, 10}, 7.0, 120},
      // Just above the clamp threshold (g = 0.99999923): exactly the maximum,
      // where the unclamped curve would give 999999232.
      {{0, 0, 1000000000, 10}, 0.9999997, 1000000000},
      // Just below it (g = 0.99999872): the curve itself.
      {{0, 0, 1000000000, 10}, 0.9999995, 999998721},
      // No lower clamp: g(-1) = -0.1 with base 10.
      {{0, 0, 1000, 10}, -1.0, -100},
      // Equal bounds give the scaled minimum whenever B > 1.
      {{0, 42, 42, 10}, 0.3, 42},
      {{2, -250, -250, 1000}, 1.0, -250},
      // Negative decimals: p = 0.1.
      {{-1, 0, 1100, 100}, 0.5, 100},
  };
  for (const Case& c : cases) {
    ovu::IConverter* conv = makeLog(c.bounds);
    EXPECT_EQ(conv->normalizedToValue(c.normalized), c.value)
        << "decimals " << c.bounds.decimals << " bounds " << c.bounds.scaledMinimum << ".."
        << c.bounds.scaledMaximum << " base " << c.bounds.base << " x " << c.normalized;
    conv->release();
  }
}

TEST(CConverterLog, BaseIsUnsignedBitForBit) {
  // -1 is stored as 2^32 - 1: a steep but valid curve, not a NaN.
  ovu::IConverter* c = makeLog({0, 0, 100, -1});
  EXPECT_DOUBLE_EQ(c->valueToNormalized(0), 0.0);
  EXPECT_DOUBLE_EQ(c->valueToNormalized(100), 1.0);
  EXPECT_NEAR(c->valueToNormalized(50), std::log10(2147483648.0) / std::log10(4294967295.0), 1e-12);
  EXPECT_EQ(c->normalizedToValue(1.0), 100);
  c->release();
}

TEST(CConverterLog, RangeConversions) {
  struct Case {
    Bounds bounds;
    std::int32_t value;
    std::int32_t position;
  } toRange[] = {
      {{0, 0, 1000, 10, 0, 1000}, 500, 740},  // 740.36
      {{0, 0, 1000, 10, 0, 1000}, 1000, 1000},
      {{0, 0, 1000, 10, -1000, 0}, 0, -1000},
      {{0, 0, 1000, 10, 7, 7}, 500, 7},  // empty range: the low end
  };
  for (const Case& c : toRange) {
    ovu::IConverter* conv = makeLog(c.bounds);
    EXPECT_EQ(conv->valueToRange(c.value), c.position) << c.value;
    conv->release();
  }
  Case toValue[] = {
      {{0, 0, 1100, 100, 0, 2}, 100, 1},    // t = 0.5 -> 1/11
      {{0, 0, 1100, 100, -2, 0}, 1100, 0},  // t = 1 -> clamped top
      {{1, -600, 0, 10, 0, 4}, -456, 2},    // t = 0.5, negative rounding
      {{0, 20, 100, 10, 3, 3}, 20, 9},      // a range of one position is all minimum
  };
  for (const Case& c : toValue) {
    ovu::IConverter* conv = makeLog(c.bounds);
    EXPECT_EQ(conv->rangeToValue(c.position), c.value) << c.position;
    conv->release();
  }
}

TEST(CConverterLog, EqualBoundsSitAtTheMinimum) {
  for (std::int32_t value : {5, 6, -1000}) {
    ovu::IConverter* c = makeLog({0, 5, 5, 10, 0, 4});
    EXPECT_EQ(c->valueToNormalized(value), 0.0) << value;
    EXPECT_EQ(c->valueToRange(value), 0) << value;
    c->release();
  }
}

TEST(CConverterLog, RoundTripAcrossTheRange) {
  // Every engine value of a small range survives value -> normalised -> value.
  ovu::IConverter* c = makeLog({1, -600, 0, 10});
  for (std::int32_t v = -600; v <= 0; ++v)
    EXPECT_EQ(c->normalizedToValue(c->valueToNormalized(v)), v);
  c->release();
}

}  // namespace
