// A chart of magnitude responses: one curve per setting over shared
// frequencies. The data and its CSV form are portable; the picture is drawn
// by response_chart_gdi.cpp with the platform's own lines and text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/rgb_image.h"

namespace plughost {

struct ResponseCurve {
  std::string label;             // the legend's text, e.g. "Cutoff 200 Hz"
  std::vector<double> decibels;  // one per frequency of the chart
};

struct ResponseChart {
  std::string title;
  std::vector<double> frequencies;  // rising, in Hz
  std::vector<ResponseCurve> curves;
};

constexpr std::uint32_t kChartWidth = 960;
constexpr std::uint32_t kChartHeight = 600;

// Draws the chart at kChartWidth x kChartHeight: axes, grid, Hz and dB
// ticks, title and legend. False with a one-line reason when the platform
// cannot draw.
bool drawResponseChart(const ResponseChart& chart, RgbImage& image, std::string& error);

// "frequency_hz,<label>,..." then one row per frequency, dB to 0.001.
std::string responseCsv(const ResponseChart& chart);

}  // namespace plughost
