#include "convert/converter_linear.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "convert/fixed_point_rounding.h"

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

struct Bounds {
  std::int32_t decimals;
  std::int32_t scaledMinimum;
  std::int32_t scaledMaximum;
  std::int32_t rangeLow = 0;
  std::int32_t rangeHigh = 0;
};

ovu::IConverter* makeLinear(const Bounds& b) {
  return new ovu::CConverterLinear(b.decimals, b.scaledMinimum, b.scaledMaximum, b.rangeLow,
                                   b.rangeHigh);
}

TEST(RoundToEngineValue, HalvesGoAwayFromZeroAndOutOfRangeSaturates) {
  struct Case {
    double in;
    std::int32_t out;
  } cases[] = {
      {2.5, 3},
      {-2.5, -3},
      {2.4999, 2},
      {-2.4999, -2},
      {0.0, 0},
      {-0.0, 0},
      {0.5, 1},
      {-0.5, -1},
      {-0.4999, 0},
      {2147483646.5, kInt32Max},
      {2147483647.4, kInt32Max},
      {2147483647.5, kInt32Max},
      {1e300, kInt32Max},
      {INFINITY, kInt32Max},
      {-2147483647.5, kInt32Min},
      {-2147483648.4, kInt32Min},
      {-2147483648.5, kInt32Min},
      {-1e300, kInt32Min},
      {-INFINITY, kInt32Min},
      {NAN, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(ovu::roundToEngineValue(c.in), c.out) << c.in;
}

TEST(CConverterLinear, WorkedExampleRoundTrips) {
  // -60.0 .. 12.0 dB with one decimal place.
  ovu::IConverter* c = makeLinear({1, -600, 120});
  EXPECT_DOUBLE_EQ(c->valueToNormalized(-240), 0.5);
  EXPECT_EQ(c->normalizedToValue(0.5), -240);
  EXPECT_DOUBLE_EQ(c->valueToNormalized(-600), 0.0);
  EXPECT_DOUBLE_EQ(c->valueToNormalized(120), 1.0);
  EXPECT_EQ(c->normalizedToValue(0.0), -600);
  EXPECT_EQ(c->normalizedToValue(1.0), 120);
  c->release();
}

TEST(CConverterLinear, NormalizedToValueTable) {
  struct Case {
    Bounds bounds;
    double normalized;
    std::int32_t value;
  } cases[] = {
      // Real products of exactly .5 round away from zero on both sides.
      {{0, 0, 5}, 0.5, 3},
      {{0, -5, 0}, 0.5, -3},
      {{0, -5, 5}, 0.5, 0},
      // No clamping in either direction.
      {{0, 0, 100}, 1.5, 150},
      {{0, 0, 100}, -0.5, -50},
      {{2, -100, 100}, 2.0, 300},
      // Equal bounds give the scaled minimum for every input.
      {{0, 7, 7}, 0.0, 7},
      {{0, 7, 7}, 0.73, 7},
      {{1, 123, 123}, 5.0, 123},
      {{1, -123, -123}, -3.0, -123},
      // Negative decimals: p = 0.1, engine value 50 stands for 500.
      {{-1, 0, 100}, 0.5, 50},
      {{-2, -30, 30}, 0.25, -15},
      // Products beyond int32 saturate rather than wrap.
      {{0, 0, kInt32Max}, 2.0, kInt32Max},
      {{0, kInt32Min, 0}, -1.0, kInt32Min},
      {{0, 0, 100}, NAN, 0},
  };
  for (const Case& c : cases) {
    ovu::IConverter* conv = makeLinear(c.bounds);
    EXPECT_EQ(conv->normalizedToValue(c.normalized), c.value)
        << "decimals " << c.bounds.decimals << " bounds " << c.bounds.scaledMinimum << ".."
        << c.bounds.scaledMaximum << " x " << c.normalized;
    conv->release();
  }
}

TEST(CConverterLinear, ValueToNormalizedTable) {
  struct Case {
    Bounds bounds;
    std::int32_t value;
    double normalized;
  } cases[] = {
      {{0, 0, 100}, 25, 0.25},
      {{0, 0, 100}, 150, 1.5},
      {{0, 0, 100}, -50, -0.5},
      {{0, -100, -50}, -75, 0.5},
      {{3, 0, 2000}, 500, 0.25},
      {{-1, 0, 100}, 50, 0.5},
      // Equal bounds have no range: every value sits at the minimum.
      {{0, 5, 5}, 5, 0.0},
      {{0, 5, 5}, 9, 0.0},
      {{2, -7, -7}, -2147483647, 0.0},
  };
  for (const Case& c : cases) {
    ovu::IConverter* conv = makeLinear(c.bounds);
    EXPECT_DOUBLE_EQ(conv->valueToNormalized(c.value), c.normalized) << c.value;
    conv->release();
  }
}

TEST(CConverterLinear, RangeTable) {
  struct Case {
    Bounds bounds;
    std::int32_t value;
    std::int32_t position;
  } cases[] = {
      {{0, 0, 100, 0, 10}, 25, 3},    // 2.5 rounds up
      {{0, 0, 100, 0, 10}, -25, -3},  // -2.5 rounds away from zero
      {{0, 0, 100, -10, 10}, 50, 0},  // negative low end
      {{0, 0, 100, 10, -10}, 25, 5},  // reversed range
      {{0, 0, 100, 7, 7}, 25, 7},     // empty range: always the low end
      {{0, 0, 100, 7, 7}, 1000, 7},
      {{0, 0, 100, kInt32Min, kInt32Max}, 100, kInt32Max},  // full-width span, no overflow
      {{0, 0, 100, kInt32Min, kInt32Max}, 0, kInt32Min},
      {{0, 0, 100, kInt32Max - 1, kInt32Max}, 300, kInt32Max},  // saturates past the top
  };
  for (const Case& c : cases) {
    ovu::IConverter* conv = makeLinear(c.bounds);
    EXPECT_EQ(conv->valueToRange(c.value), c.position)
        << c.value << " in " << c.bounds.rangeLow << ".." << c.bounds.rangeHigh;
    conv->release();
  }
}

TEST(CConverterLinear, RangeToValueTable) {
  struct Case {
    Bounds bounds;
    std::int32_t position;
    std::int32_t value;
  } cases[] = {
      {{0, 0, 100, 0, 10}, 5, 50},    {{1, -600, 120, 0, 4}, 2, -240},
      {{0, 0, 100, -10, 10}, -10, 0}, {{0, 0, 100, -10, 10}, 20, 150},
      {{0, -5, 0, 0, 2}, 1, -3},    // -2.5 rounds away from zero
      {{0, 20, 100, 7, 7}, 9, 20},  // a range of one position is all minimum
  };
  for (const Case& c : cases) {
    ovu::IConverter* conv = makeLinear(c.bounds);
    EXPECT_EQ(conv->rangeToValue(c.position), c.value) << c.position;
    conv->release();
  }
}

// release() destroys the whole object through the interface; the sanitizer
// build reports a leak or a mismatched delete otherwise.
TEST(CConverterLinear, ReleaseThroughInterfaceFreesObject) {
  ovu::IConverter* c = makeLinear({0, 0, 1});
  c->release();
}

}  // namespace
