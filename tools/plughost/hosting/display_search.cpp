#include "hosting/display_search.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/number_text.h"

namespace plughost {
namespace {

constexpr int kGridSteps = 1000;
constexpr int kBisections = 40;

std::string squeezed(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (!std::isspace(static_cast<unsigned char>(c))) {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

// A number leading `text`, with what follows it; false when there is none.
bool leadingNumber(const std::string& text, double& number, std::string& rest) {
  const std::size_t length = decimalPrefixLength(text, NumberForm::decimal);
  if (length == 0) return false;
  number = std::strtod(text.substr(0, length).c_str(), nullptr);
  if (!std::isfinite(number)) return false;
  rest = squeezed(text.substr(length));
  return true;
}

// Half a step of the last digit the display shows: "-6.0" gives 0.05.
double displayTolerance(const std::string& display) {
  const auto dot = display.find('.');
  int decimals = 0;
  if (dot != std::string::npos) {
    while (dot + 1 + decimals < display.size() &&
           std::isdigit(static_cast<unsigned char>(display[dot + 1 + decimals]))) {
      ++decimals;
    }
  }
  return 0.5 * std::pow(10.0, -decimals) * (1.0 + 1e-9);
}

bool findText(const std::string& wanted, const DisplayAt& displayAt, float& value) {
  // The middle of the first run of grid values that shows the text, away from
  // the edges where rounding decides.
  const std::string target = squeezed(wanted);
  int first = -1;
  int last = -1;
  for (int i = 0; i <= kGridSteps; ++i) {
    const bool match = squeezed(displayAt(static_cast<float>(i) / kGridSteps)) == target;
    if (match && first < 0) first = i;
    if (match) last = i;
    if (!match && first >= 0) break;
  }
  if (first < 0) return false;
  value = static_cast<float>(first + last) / (2.0f * kGridSteps);
  return true;
}

bool findNumber(double target, const DisplayAt& displayAt, float& value) {
  std::vector<std::string> shown(kGridSteps + 1);
  std::vector<double> numbers(kGridSteps + 1);
  std::vector<bool> valid(kGridSteps + 1);
  std::string rest;
  for (int i = 0; i <= kGridSteps; ++i) {
    double n = 0.0;
    shown[i] = displayAt(static_cast<float>(i) / kGridSteps);
    valid[i] = leadingNumber(shown[i], n, rest);
    numbers[i] = n;
  }
  for (int i = 0; i <= kGridSteps; ++i) {
    if (!valid[i]) continue;
    if (std::fabs(numbers[i] - target) <= displayTolerance(shown[i])) {
      value = static_cast<float>(i) / kGridSteps;
      // Closer than the grid: bisect towards the exact number if it brackets.
      if (i < kGridSteps && valid[i + 1] && (numbers[i] - target) * (numbers[i + 1] - target) < 0) {
        break;
      }
      return true;
    }
  }
  for (int i = 0; i < kGridSteps; ++i) {
    if (!valid[i] || !valid[i + 1]) continue;
    if ((numbers[i] - target) * (numbers[i + 1] - target) > 0) continue;
    double lo = static_cast<double>(i) / kGridSteps;
    double hi = static_cast<double>(i + 1) / kGridSteps;
    const bool rising = numbers[i + 1] >= numbers[i];
    for (int step = 0; step < kBisections; ++step) {
      const double mid = 0.5 * (lo + hi);
      double n = 0.0;
      if (!leadingNumber(displayAt(static_cast<float>(mid)), n, rest)) break;
      if ((n < target) == rising) {
        lo = mid;
      } else {
        hi = mid;
      }
    }
    for (double candidate : {0.5 * (lo + hi), lo, hi}) {
      const std::string text = displayAt(static_cast<float>(candidate));
      double n = 0.0;
      if (leadingNumber(text, n, rest) && std::fabs(n - target) <= displayTolerance(text)) {
        value = static_cast<float>(candidate);
        return true;
      }
    }
  }
  // A text at an end of the range (an engine's "Off" at the minimum) stands
  // for the number that end would show: the numbers beside it, continued by
  // one grid step, to within half a step.
  for (const int edge : {0, kGridSteps}) {
    const int inward = edge == 0 ? 1 : -1;
    const int next = edge + inward;
    const int after = next + inward;
    if (valid[edge] || !valid[next] || !valid[after]) continue;
    const double step = numbers[next] - numbers[after];
    const double hidden = numbers[next] + step;
    if (std::fabs(hidden - target) <=
        std::max(displayTolerance(shown[next]), std::fabs(step) / 2)) {
      value = static_cast<float>(edge) / kGridSteps;
      return true;
    }
  }
  return false;
}

}  // namespace

std::string withLabel(const std::string& display, const std::string& label) {
  const char* start = display.c_str();
  char* end = nullptr;
  std::strtod(start, &end);
  return label.empty() || end == start ? display : display + " " + label;
}

bool findDisplayedValue(const std::string& wanted, const std::string& label,
                        const DisplayAt& displayAt, float& value, std::string& error) {
  double number = 0.0;
  std::string unit;
  bool found = false;
  if (leadingNumber(wanted, number, unit)) {
    // "1kHz" against the label "Hz": a thousand of the label's unit.
    const std::string plain = squeezed(label);
    if (!plain.empty() && unit == "k" + plain) {
      number *= 1000.0;
      unit = plain;
    }
    if (!unit.empty() && unit != plain) {
      error = "'" + wanted + "': the unit is " + (label.empty() ? "none" : "'" + label + "'");
      return false;
    }
    found = findNumber(number, displayAt, value);
  }
  // Texts such as "-inf" or "Off" may also start like numbers.
  if (!found) found = findText(wanted, displayAt, value);
  // "-inf dB": a text the display shows, with the label the range is
  // printed with.
  const std::string plainLabel = squeezed(label);
  const std::string plainWanted = squeezed(wanted);
  if (!found && !plainLabel.empty() && plainWanted.size() > plainLabel.size() &&
      plainWanted.compare(plainWanted.size() - plainLabel.size(), plainLabel.size(), plainLabel) ==
          0) {
    found =
        findText(plainWanted.substr(0, plainWanted.size() - plainLabel.size()), displayAt, value);
  }
  if (!found) {
    error = "no value that shows '" + wanted + "' (the display runs from " +
            withLabel(displayAt(0.0f), label) + " to " + withLabel(displayAt(1.0f), label) + ")";
  }
  return found;
}

}  // namespace plughost
