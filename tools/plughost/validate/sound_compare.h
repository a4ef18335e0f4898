// Judges what an effect played in two runs of one performance, and whether
// its response follows the sample rate. Pure maths on samples, so it is
// tested natively.
#pragma once

#include <string>
#include <vector>

namespace plughost {

// Everything one run played: one vector per output channel.
using Recording = std::vector<std::vector<float>>;

// Where two recordings part.
struct Difference {
  bool found = false;
  int channel = 0;
  long frame = 0;         // first differing frame (the window's first, loosely)
  double expected = 0.0;  // sample, or level in dBFS when compared loosely
  double actual = 0.0;
  bool loose = false;
};

// Sample for sample: every sample equal (a NaN equals a NaN of the same
// bits), every channel of the same length.
Difference firstDifference(const Recording& expected, const Recording& actual);

// For an effect that does not play the same twice: the level of every
// window of kLooseWindow frames within kLooseDb of the expected one
// wherever either is above kLooseFloorDb.
constexpr long kLooseWindow = 1024;
constexpr double kLooseDb = 6.0;
constexpr double kLooseFloorDb = -60.0;
Difference levelDifference(const Recording& expected, const Recording& actual);

// "output channel 1 from frame 300 (0.25, not 0.125)" or, loosely,
// "output channel 1 in frames 1024 to 2047 (-12.0 dBFS, not -3.0 dBFS)".
std::string describe(const Difference& difference);

// True when every sample of every channel is 0.
bool silent(const Recording& recording);

// How an effect's magnitude response at two sample rates compares: over
// the same frequencies in Hz (an effect that follows the rate changes
// little) and over the same fractions of the rate (an effect that ignores
// it changes nothing), each the largest difference in dB.
struct RateComparison {
  double sameHzDb = 0.0;
  double sameFractionDb = 0.0;
};
RateComparison compareRates(const std::vector<float>& lowResponse, double lowRate,
                            const std::vector<float>& highResponse, double highRate);

// The response is the same over fractions of the rate and differs in Hz:
// what a filter or delay that ignores the rate does, short or long. A flat
// response (a gain, a fixed delay) tells nothing and is not counted.
constexpr double kSameResponseDb = 0.25;
constexpr double kDifferentResponseDb = 1.0;
bool ignoresRate(const RateComparison& comparison);

}  // namespace plughost
