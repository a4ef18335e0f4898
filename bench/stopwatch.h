// Timing of short operations with the performance counter: a loop of calls is
// timed as one run, runs are repeated, and the median run is the figure.
// Every run first grows its loop until it lasts long enough for the counter's
// resolution not to matter.
#pragma once

#include <vector>

namespace bench {

// Seconds on the performance counter (arbitrary origin).
double secondsNow();
// Ticks per second of the performance counter.
double counterFrequency();

// The middle value (the mean of the two middle values for an even count);
// 0 for no values.
double median(std::vector<double> values);

// Makes the compiler assume that `memory` is read and written here, so
// stores into it before this point are kept.
inline void keep(const void* memory) {
  asm volatile("" : : "r"(memory) : "memory");
}

// Settings shared by every measurement of one benchmark run.
struct Timing {
  int runs = 21;             // runs per figure; the median is reported
  double runSeconds = 0.02;  // shortest run
  double warmUpSeconds = 0.05;
};

// Nanoseconds per call over `iterations` calls.
template <typename Call>
double nanosecondsPerCall(Call& call, long iterations) {
  const double start = secondsNow();
  for (long i = 0; i < iterations; ++i) call();
  return (secondsNow() - start) * 1e9 / static_cast<double>(iterations);
}

// Calls `call` for at least `seconds` (warming caches and branch predictors)
// and answers a loop length that lasts at least `runSeconds`.
template <typename Call>
long warmUp(Call& call, double seconds, double runSeconds) {
  long iterations = 1;
  double spent = 0.0;
  double lastRun = 0.0;
  while (spent < seconds || lastRun < runSeconds) {
    const double start = secondsNow();
    for (long i = 0; i < iterations; ++i) call();
    lastRun = secondsNow() - start;
    spent += lastRun;
    if (lastRun < runSeconds) iterations *= 2;
  }
  return iterations;
}

// Median nanoseconds per call of `call`.
template <typename Call>
double medianNanoseconds(Call call, const Timing& timing) {
  const long iterations = warmUp(call, timing.warmUpSeconds, timing.runSeconds);
  std::vector<double> runs;
  for (int run = 0; run < timing.runs; ++run) runs.push_back(nanosecondsPerCall(call, iterations));
  return median(runs);
}

// Two calls measured in alternating runs (the order swaps every run), so
// drift in the machine's load hits both alike: the median nanoseconds per
// call of each, and the median over runs of the difference second - first
// between the two runs made back to back.
struct Pair {
  double first;
  double second;
  double difference;
};

template <typename First, typename Second>
Pair medianNanosecondsOfPair(First first, Second second, const Timing& timing) {
  const long firstIterations = warmUp(first, timing.warmUpSeconds, timing.runSeconds);
  const long secondIterations = warmUp(second, timing.warmUpSeconds, timing.runSeconds);
  std::vector<double> firstRuns;
  std::vector<double> secondRuns;
  std::vector<double> differences;
  for (int run = 0; run < timing.runs; ++run) {
    if (run % 2 == 0) {
      firstRuns.push_back(nanosecondsPerCall(first, firstIterations));
      secondRuns.push_back(nanosecondsPerCall(second, secondIterations));
    } else {
      secondRuns.push_back(nanosecondsPerCall(second, secondIterations));
      firstRuns.push_back(nanosecondsPerCall(first, firstIterations));
    }
    differences.push_back(secondRuns.back() - firstRuns.back());
  }
  return {median(firstRuns), median(secondRuns), median(differences)};
}

}  // namespace bench
