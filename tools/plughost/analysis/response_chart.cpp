#include "analysis/response_chart.h"

#include <cstdio>

namespace plughost {
namespace {

// Labels hold spaces and perhaps commas or quotes: always quoted, quotes doubled.
std::string csvField(const std::string& text) {
  std::string out = "\"";
  for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

}  // namespace

std::string responseCsv(const ResponseChart& chart) {
  std::string text = "frequency_hz";
  for (const ResponseCurve& curve : chart.curves) text += "," + csvField(curve.label);
  text += "\n";
  char number[64];
  for (std::size_t i = 0; i < chart.frequencies.size(); ++i) {
    std::snprintf(number, sizeof number, "%.2f", chart.frequencies[i]);
    text += number;
    for (const ResponseCurve& curve : chart.curves) {
      std::snprintf(number, sizeof number, ",%.3f",
                    i < curve.decibels.size() ? curve.decibels[i] : 0.0);
      text += number;
    }
    text += "\n";
  }
  return text;
}

}  // namespace plughost
