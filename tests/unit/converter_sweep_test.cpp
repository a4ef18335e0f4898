// Converter results must not depend on the machine: every sweep below hashes
// the exact bits of thousands of results, and both legs (native 64-bit and
// the 32-bit code under Wine) must give the hashes recorded here from a
// native run. The logarithmic curve's last bits come from each platform's own
// logarithm and power functions, so there only the engine values and range
// positions are compared.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "convert/converter_linear.h"
#include "convert/converter_log.h"

namespace {

struct Sweep {
  const char* what;
  bool logarithmic;
  std::int32_t decimals, scaledMinimum, scaledMaximum;
  std::uint32_t base;
  std::int32_t rangeLow, rangeHigh;
  std::int32_t firstValue, lastValue, valueStep;
  std::uint64_t expected;  // linear: every result; logarithmic: the engine values and positions
};

class Fnv {
 public:
  void add(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 0x100000001b3ull;
  }
  void add(double x) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &x, sizeof bits);
    add(&bits, sizeof bits);
  }
  void add(std::int32_t n) { add(&n, sizeof n); }
  std::uint64_t value() const { return hash; }

 private:
  std::uint64_t hash = 0xcbf29ce484222325ull;
};

// All four conversions over the sweep's values, normalised values from -0.2
// to 1.2 (exact binary fractions and decimal ones) and range positions.
struct Hashes {
  std::uint64_t all;
  std::uint64_t integers;
};

Hashes run(const Sweep& s) {
  ovu::IConverter* c = s.logarithmic
                           ? static_cast<ovu::IConverter*>(new ovu::CConverterLog(
                                 s.decimals, s.scaledMinimum, s.scaledMaximum,
                                 static_cast<std::int32_t>(s.base), s.rangeLow, s.rangeHigh))
                           : new ovu::CConverterLinear(s.decimals, s.scaledMinimum, s.scaledMaximum,
                                                       s.rangeLow, s.rangeHigh);
  Fnv hash;
  Fnv integers;
  auto addInteger = [&](std::int32_t n) {
    hash.add(n);
    integers.add(n);
  };
  for (std::int64_t v = s.firstValue; v <= s.lastValue; v += s.valueStep) {
    const auto value = static_cast<std::int32_t>(v);
    hash.add(c->valueToNormalized(value));
    addInteger(c->valueToRange(value));
  }
  for (int k = -820; k <= 4916; ++k) {
    addInteger(c->normalizedToValue(k / 4096.0));
    addInteger(c->normalizedToValue(k * 0.000244));
  }
  const std::int64_t span = static_cast<std::int64_t>(s.rangeHigh) - s.rangeLow;
  const std::int64_t step = span / 997 != 0 ? span / 997 : 1;
  for (std::int64_t n = s.rangeLow - step * 50; n <= s.rangeHigh + step * 50; n += step) {
    if (n < INT32_MIN || n > INT32_MAX) continue;
    addInteger(c->rangeToValue(static_cast<std::int32_t>(n)));
  }
  c->release();
  return {hash.value(), integers.value()};
}

std::uint64_t recorded(const Sweep& s, const Hashes& h) {
  return s.logarithmic ? h.integers : h.all;
}

const Sweep kSweeps[] = {
    {"linear dB", false, 1, -600, 120, 0, 0, 1000, -700, 200, 1, 0x52aa98482db077a8ull},
    {"linear fine", false, 3, 0, 2000000, 0, -77, 12345, -1000, 2001000, 997,
     0x43cf91e52538c7feull},
    {"linear negative decimals", false, -1, -5, 7, 0, 0, 100, -10, 10, 1, 0xbc346f3f43a1604full},
    {"linear full width", false, 6, -2147483647, 2147483647, 0, -1000000, 1000000, -2147483647,
     2147483647, 65521, 0xdaa479be95bdb7a5ull},
    {"log base 100", true, 0, 0, 1100, 100, 0, 1000, -5, 1200, 1, 0x5b9e6ff7ef469ccaull},
    {"log base 10, negative bounds", true, 1, -600, 0, 10, 0, 4096, -600, 100, 1,
     0x624f2ae4aa95ebe1ull},
    {"log base 1000, two decimals", true, 2, 20, 20000, 1000, -300, 300, 0, 20000, 7,
     0xd8f487a451bc1d59ull},
    {"log widest base", true, 0, 0, 100, 0xFFFFFFFFu, 0, 100, 0, 200, 1, 0x49244fe97e71c2d4ull},
};

TEST(ConverterSweep, ResultsMatchTheRecordedNativeOnes) {
  for (const Sweep& s : kSweeps) {
    const std::uint64_t found = recorded(s, run(s));
    EXPECT_EQ(found, s.expected) << s.what << ": 0x" << std::hex << found << "ull";
  }
}

}  // namespace
