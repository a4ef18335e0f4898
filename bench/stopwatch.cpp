#include "stopwatch.h"

#include <windows.h>

#include <algorithm>

namespace bench {

double counterFrequency() {
  static const double frequency = [] {
    LARGE_INTEGER ticks;
    QueryPerformanceFrequency(&ticks);
    return static_cast<double>(ticks.QuadPart);
  }();
  return frequency;
}

double secondsNow() {
  LARGE_INTEGER ticks;
  QueryPerformanceCounter(&ticks);
  return static_cast<double>(ticks.QuadPart) / counterFrequency();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  if (values.size() % 2 == 1) return values[middle];
  return (values[middle - 1] + values[middle]) / 2.0;
}

}  // namespace bench
