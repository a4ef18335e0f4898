#include "analysis/chart_axes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/frequency_response.h"

namespace plughost {

double LogFrequencyAxis::position(double hz) const {
  return std::log(hz / low_) / std::log(high_ / low_);
}

std::vector<AxisTick> LogFrequencyAxis::ticks() const {
  std::vector<AxisTick> result;
  for (double decade = std::pow(10.0, std::floor(std::log10(low_))); decade <= high_;
       decade *= 10.0) {
    for (int k = 1; k <= 9; ++k) {
      const double hz = decade * k;
      // A little slack, so that a tick at exactly `low` or `high` counts.
      if (hz < low_ * (1 - 1e-9) || hz > high_ * (1 + 1e-9)) continue;
      result.push_back({hz, position(hz), k == 1 ? frequencyLabel(hz) : std::string()});
    }
  }
  return result;
}

std::string frequencyLabel(double hz) {
  char text[32];
  if (hz >= 1000.0) {
    std::snprintf(text, sizeof text, "%gk", hz / 1000.0);
  } else {
    std::snprintf(text, sizeof text, "%g", hz);
  }
  return text;
}

DecibelAxis DecibelAxis::fitting(const std::vector<std::vector<double>>& curves, double span) {
  double high = -1e300;
  double low = 1e300;
  for (const auto& curve : curves) {
    for (double db : curve) {
      if (db <= kSilentDb) continue;
      high = std::max(high, db);
      low = std::min(low, db);
    }
  }
  if (high < low) {  // nothing but silence
    high = 0.0;
    low = -60.0;
  }
  high += 3.0;  // room above a flat 0 dB curve
  low = std::max(low, high - span);
  const double range = std::max(high - low, 6.0);
  double step = 20.0;
  for (double candidate : {3.0, 6.0, 10.0, 20.0}) {
    if (range / candidate <= 10.0) {
      step = candidate;
      break;
    }
  }
  const double top = step * std::ceil(high / step);
  const double bottom = std::min(step * std::floor(low / step), top - step);
  return DecibelAxis(bottom, top, step);
}

double DecibelAxis::position(double db) const {
  return std::clamp((db - bottom_) / (top_ - bottom_), 0.0, 1.0);
}

std::vector<AxisTick> DecibelAxis::ticks() const {
  std::vector<AxisTick> result;
  const int count = static_cast<int>(std::lround((top_ - bottom_) / step_));
  for (int i = 0; i <= count; ++i) {
    const double db = bottom_ + i * step_;
    char text[32];
    std::snprintf(text, sizeof text, db > 0.0 ? "+%g" : "%g", db == 0.0 ? 0.0 : db);
    result.push_back({db, position(db), text});
  }
  return result;
}

}  // namespace plughost
