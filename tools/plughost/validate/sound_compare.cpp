#include "validate/sound_compare.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "analysis/frequency_response.h"
#include "validate/check_context.h"

namespace plughost {
namespace {

bool sameSample(float a, float b) {
  if (a == b) return true;
  std::uint32_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

double levelDb(const std::vector<float>& channel, long from, long to) {
  double sum = 0.0;
  for (long i = from; i < to; ++i) sum += static_cast<double>(channel[i]) * channel[i];
  const double rms = to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0;
  return 20.0 * std::log10(std::max(rms, 1e-12));
}

// Below this a magnitude is noise of the measurement, not response.
constexpr double kResponseFloorDb = -120.0;

double largestDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double largest = 0.0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    largest = std::max(
        largest, std::fabs(std::max(a[i], kResponseFloorDb) - std::max(b[i], kResponseFloorDb)));
  }
  return largest;
}

}  // namespace

Difference firstDifference(const Recording& expected, const Recording& actual) {
  Difference difference;
  const std::size_t channels = std::max(expected.size(), actual.size());
  for (std::size_t c = 0; c < channels; ++c) {
    static const std::vector<float> kNone;
    const std::vector<float>& e = c < expected.size() ? expected[c] : kNone;
    const std::vector<float>& a = c < actual.size() ? actual[c] : kNone;
    const std::size_t frames = std::max(e.size(), a.size());
    for (std::size_t i = 0; i < frames; ++i) {
      if (i < e.size() && i < a.size() && sameSample(e[i], a[i])) continue;
      difference.found = true;
      difference.channel = static_cast<int>(c);
      difference.frame = static_cast<long>(i);
      difference.expected = i < e.size() ? e[i] : NAN;
      difference.actual = i < a.size() ? a[i] : NAN;
      return difference;
    }
  }
  return difference;
}

Difference levelDifference(const Recording& expected, const Recording& actual) {
  Difference difference;
  difference.loose = true;
  for (std::size_t c = 0; c < expected.size() && c < actual.size(); ++c) {
    const long frames = static_cast<long>(std::min(expected[c].size(), actual[c].size()));
    for (long from = 0; from < frames; from += kLooseWindow) {
      const long to = std::min(frames, from + kLooseWindow);
      const double e = levelDb(expected[c], from, to);
      const double a = levelDb(actual[c], from, to);
      if (std::max(e, a) < kLooseFloorDb || std::fabs(e - a) <= kLooseDb) continue;
      difference.found = true;
      difference.channel = static_cast<int>(c);
      difference.frame = from;
      difference.expected = e;
      difference.actual = a;
      return difference;
    }
  }
  return difference;
}

std::string describe(const Difference& difference) {
  if (!difference.found) return "the same";
  if (difference.loose) {
    return format("output channel %d in frames %ld to %ld (%.1f dBFS, not %.1f dBFS)",
                  difference.channel, difference.frame, difference.frame + kLooseWindow - 1,
                  difference.actual, difference.expected);
  }
  return format("output channel %d from frame %ld (%.9g, not %.9g)", difference.channel,
                difference.frame, difference.actual, difference.expected);
}

bool silent(const Recording& recording) {
  for (const auto& channel : recording) {
    for (float sample : channel) {
      if (sample != 0.0f) return false;
    }
  }
  return true;
}

RateComparison compareRates(const std::vector<float>& lowResponse, double lowRate,
                            const std::vector<float>& highResponse, double highRate) {
  // Up to 45 % of the lower rate, where both rates still carry the signal.
  const std::vector<double> hz = logFrequencies(40.0, 0.45 * lowRate, 48);
  std::vector<double> scaled;
  for (double f : hz) scaled.push_back(f * highRate / lowRate);
  const std::vector<double> low = magnitudeResponseDb(lowResponse, lowRate, hz);
  RateComparison comparison;
  comparison.sameHzDb = largestDifference(low, magnitudeResponseDb(highResponse, highRate, hz));
  comparison.sameFractionDb =
      largestDifference(low, magnitudeResponseDb(highResponse, highRate, scaled));
  return comparison;
}

bool ignoresRate(const RateComparison& comparison) {
  return comparison.sameFractionDb <= kSameResponseDb &&
         comparison.sameHzDb >= kDifferentResponseDb;
}

}  // namespace plughost
