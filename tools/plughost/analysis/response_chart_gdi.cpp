// The response chart drawn with GDI into a bitmap of our own: lines with
// pens, text with the system's fonts, then copied out as RGB.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <iterator>

#include "analysis/chart_axes.h"
#include "analysis/response_chart.h"
#include "platform/platform.h"

namespace plughost {
namespace {

// Plot area inside the picture, leaving room for labels, title and legend.
constexpr int kLeft = 80;
constexpr int kTop = 50;
constexpr int kRight = kChartWidth - 30;
constexpr int kBottom = kChartHeight - 60;

const COLORREF kCurveColours[] = {RGB(31, 119, 180),  RGB(214, 39, 40),   RGB(44, 160, 44),
                                  RGB(255, 127, 14),  RGB(148, 103, 189), RGB(140, 86, 75),
                                  RGB(227, 119, 194), RGB(23, 190, 207)};

using platform::GdiObject;

HFONT makeFont(int height, int weight, int escapement = 0) {
  return CreateFontA(-height, 0, escapement, escapement, weight, FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, "Tahoma");
}

void line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

// Text centred on (x, y) horizontally, with its top at y.
void textCentred(HDC dc, const std::string& text, int x, int y) {
  RECT box = {x - 200, y, x + 200, y + 40};
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &box,
            DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

void draw(HDC dc, const ResponseChart& chart) {
  RECT all = {0, 0, static_cast<LONG>(kChartWidth), static_cast<LONG>(kChartHeight)};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));

  const LogFrequencyAxis xAxis(chart.frequencies.front(), chart.frequencies.back());
  std::vector<std::vector<double>> values;
  for (const ResponseCurve& curve : chart.curves) values.push_back(curve.decibels);
  const DecibelAxis yAxis = DecibelAxis::fitting(values);
  const auto xAt = [&](double position) {
    return kLeft + static_cast<int>(std::lround(position * (kRight - kLeft)));
  };
  const auto yAt = [&](double position) {
    return kBottom - static_cast<int>(std::lround(position * (kBottom - kTop)));
  };

  GdiObject font(makeFont(13, FW_NORMAL));
  GdiObject bold(makeFont(17, FW_BOLD));
  GdiObject upright(makeFont(13, FW_NORMAL, 900));
  GdiObject minorPen(CreatePen(PS_SOLID, 1, RGB(235, 235, 235)));
  GdiObject majorPen(CreatePen(PS_SOLID, 1, RGB(190, 190, 190)));
  GdiObject axisPen(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  const HGDIOBJ oldFont = SelectObject(dc, font.get());
  const HGDIOBJ oldPen = SelectObject(dc, minorPen.get());

  for (const AxisTick& tick : xAxis.ticks()) {
    const int x = xAt(tick.position);
    SelectObject(dc, tick.label.empty() ? minorPen.get() : majorPen.get());
    line(dc, x, kTop, x, kBottom);
    if (!tick.label.empty()) textCentred(dc, tick.label, x, kBottom + 6);
  }
  for (const AxisTick& tick : yAxis.ticks()) {
    const int y = yAt(tick.position);
    SelectObject(dc, majorPen.get());
    line(dc, kLeft, y, kRight, y);
    RECT box = {0, y - 8, kLeft - 6, y + 8};
    DrawTextA(dc, tick.label.c_str(), -1, &box, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  }
  SelectObject(dc, axisPen.get());
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, kLeft, kTop, kRight + 1, kBottom + 1);

  textCentred(dc, "Frequency (Hz)", (kLeft + kRight) / 2, kBottom + 26);
  SelectObject(dc, upright.get());
  const char* yTitle = "Magnitude (dB)";
  TextOutA(dc, 16, (kTop + kBottom) / 2 + 45, yTitle, lstrlenA(yTitle));
  SelectObject(dc, bold.get());
  textCentred(dc, chart.title, kChartWidth / 2, 14);

  // The curves, clipped to the plot; values beyond the dB range lie on its edge.
  GdiObject plot(CreateRectRgn(kLeft + 1, kTop + 1, kRight, kBottom));
  SelectClipRgn(dc, static_cast<HRGN>(plot.get()));
  for (std::size_t k = 0; k < chart.curves.size(); ++k) {
    const ResponseCurve& curve = chart.curves[k];
    GdiObject pen(CreatePen(PS_SOLID, 2, kCurveColours[k % std::size(kCurveColours)]));
    SelectObject(dc, pen.get());
    std::vector<POINT> points;
    for (std::size_t i = 0; i < curve.decibels.size() && i < chart.frequencies.size(); ++i) {
      points.push_back(
          {xAt(xAxis.position(chart.frequencies[i])), yAt(yAxis.position(curve.decibels[i]))});
    }
    if (points.size() > 1) Polyline(dc, points.data(), static_cast<int>(points.size()));
    SelectObject(dc, axisPen.get());
  }
  SelectClipRgn(dc, nullptr);

  // The legend: a box in the plot's top right corner, one coloured line per curve.
  SelectObject(dc, font.get());
  int widest = 0;
  for (const ResponseCurve& curve : chart.curves) {
    SIZE size = {};
    GetTextExtentPoint32A(dc, curve.label.c_str(), static_cast<int>(curve.label.size()), &size);
    widest = std::max(widest, static_cast<int>(size.cx));
  }
  const int rowHeight = 18;
  const int boxRight = kRight - 10;
  const int boxLeft = boxRight - widest - 50;
  const int boxTop = kTop + 10;
  const int boxBottom = boxTop + 8 + rowHeight * static_cast<int>(chart.curves.size());
  SelectObject(dc, axisPen.get());
  SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, boxLeft, boxTop, boxRight, boxBottom);
  for (std::size_t k = 0; k < chart.curves.size(); ++k) {
    const int y = boxTop + 4 + rowHeight * static_cast<int>(k) + rowHeight / 2;
    GdiObject pen(CreatePen(PS_SOLID, 2, kCurveColours[k % std::size(kCurveColours)]));
    SelectObject(dc, pen.get());
    line(dc, boxLeft + 8, y, boxLeft + 36, y);
    SelectObject(dc, axisPen.get());
    const std::string& label = chart.curves[k].label;
    TextOutA(dc, boxLeft + 42, y - 8, label.c_str(), static_cast<int>(label.size()));
  }
  SelectObject(dc, oldPen);
  SelectObject(dc, oldFont);
}

}  // namespace

bool drawResponseChart(const ResponseChart& chart, RgbImage& image, std::string& error) {
  if (chart.frequencies.size() < 2 || chart.curves.empty()) {
    error = "nothing to draw: the chart has no curves";
    return false;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(kChartWidth);
  info.bmiHeader.biHeight = -static_cast<LONG>(kChartHeight);  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;

  platform::MemoryDc dc(nullptr);
  void* bits = nullptr;
  // Declared after the DC, so it is deleted once the DC gave it back.
  const GdiObject bitmap(dc.get() ? CreateDIBSection(static_cast<HDC>(dc.get()), &info,
                                                     DIB_RGB_COLORS, &bits, nullptr, 0)
                                  : nullptr);
  if (!dc.get() || !bitmap.get() || !bits) {
    error = "cannot create a bitmap to draw the chart into";
    return false;
  }
  dc.select(bitmap.get());
  draw(static_cast<HDC>(dc.get()), chart);
  GdiFlush();
  image = rgbImageFromBgra(static_cast<const std::uint8_t*>(bits), kChartWidth, kChartHeight);
  return true;
}

}  // namespace plughost
