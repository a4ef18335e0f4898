// The axes of a response chart: a log frequency axis with ticks at the
// decades (10, 100, 1k, 10k) and grid lines between them, and a dB axis
// whose range and ticks follow the curves. Positions are fractions 0..1 of
// the plot, so any drawing code can scale them to pixels.
#pragma once

#include <string>
#include <vector>

namespace plughost {

struct AxisTick {
  double value = 0.0;
  double position = 0.0;  // 0 at the axis's low end, 1 at its high end
  std::string label;      // empty for a grid line without a label
};

class LogFrequencyAxis {
 public:
  LogFrequencyAxis(double low, double high) : low_(low), high_(high) {}
  // Where `hz` lies between low (0) and high (1); outside for frequencies
  // beyond the ends.
  double position(double hz) const;
  // Labelled ticks at the decades ("10", "100", "1k", "10k"), unlabelled ones
  // at 2..9 times each decade, all within low..high.
  std::vector<AxisTick> ticks() const;

 private:
  double low_;
  double high_;
};

// "10", "100", "1k", "10k", "2.5k".
std::string frequencyLabel(double hz);

class DecibelAxis {
 public:
  // A range that holds the curves' values with room above, cut off at
  // `span` dB below the top so that deep notches do not squash the rest;
  // its ends fall on ticks. Values of kSilentDb are left out.
  static DecibelAxis fitting(const std::vector<std::vector<double>>& curves, double span = 90.0);
  DecibelAxis(double bottom, double top, double step) : bottom_(bottom), top_(top), step_(step) {}

  double bottom() const { return bottom_; }
  double top() const { return top_; }
  // 0 at the bottom, 1 at the top; clamped to the plot.
  double position(double db) const;
  // Every `step` dB from the bottom to the top, labelled "-20", "0", "+6".
  std::vector<AxisTick> ticks() const;

 private:
  double bottom_;
  double top_;
  double step_;
};

}  // namespace plughost
