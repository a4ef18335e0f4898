// The analyze command's maths: responses of known filters, latency, THD+N of
// clean and clipped sines, the chart's axes and its CSV.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "analysis/chart_axes.h"
#include "analysis/frequency_response.h"
#include "analysis/response_chart.h"

namespace {

using namespace plughost;

constexpr double kRate = 44100.0;
constexpr double kPi = 3.14159265358979323846;

TEST(FrequencyResponse, KnownFiltersGiveTheirResponseAndLatency) {
  const std::vector<double> hz = logFrequencies(10.0, kRate / 2, 50);
  ASSERT_EQ(50u, hz.size());
  EXPECT_EQ(10.0, hz.front());
  EXPECT_EQ(kRate / 2, hz.back());
  EXPECT_NEAR(hz[1] / hz[0], hz[49] / hz[48], 1e-9);  // even steps on a log axis

  // Half the level, 300 samples late: flat at -6.02 dB, latency 300.
  std::vector<float> delay(1000, 0.0f);
  delay[300] = 0.5f;
  for (double db : magnitudeResponseDb(delay, kRate, hz)) EXPECT_NEAR(-6.0206, db, 1e-6);
  EXPECT_EQ(300u, impulsePeak(delay));

  // A three-tap smoother peaking at 1: |H(f)| = cos^2(pi f / rate), a zero at
  // Nyquist that reads as the silent floor.
  const std::vector<float> smoother = {0.25f, 0.5f, 0.25f};
  const std::vector<double> db = magnitudeResponseDb(smoother, kRate, hz);
  for (std::size_t i = 0; i + 1 < hz.size(); ++i) {
    const double c = std::cos(kPi * hz[i] / kRate);
    EXPECT_NEAR(20.0 * std::log10(c * c), db[i], 1e-6) << hz[i];
  }
  EXPECT_EQ(kSilentDb, db.back());
  EXPECT_EQ(1u, impulsePeak(smoother));
  EXPECT_EQ(2u, impulsePeak({0.1f, 0.2f, -0.9f, 0.9f}));  // the first of equal magnitudes
  EXPECT_EQ(0u, impulsePeak({}));
}

std::vector<float> sine(double amplitude, double clip, double offset = 0.0) {
  std::vector<float> s(22050);
  for (std::size_t n = 0; n < s.size(); ++n) {
    const double v = amplitude * std::sin(2 * kPi * 1000.0 * n / kRate + 0.3);
    s[n] = static_cast<float>(std::fmax(-clip, std::fmin(clip, v)) + offset);
  }
  return s;
}

TEST(FrequencyResponse, ThdPlusNoiseSeparatesACleanSineFromAClippedOne) {
  const SineFit clean = fitSine(sine(0.5, 1.0), 1000.0, kRate);
  EXPECT_NEAR(0.5, clean.amplitude, 1e-6);
  EXPECT_LT(clean.thdPlusNoiseDb, -120.0);

  // A sine clipped at half its peak: THD+N of about -16 dB; an offset counts too.
  const SineFit clipped = fitSine(sine(1.0, 0.5), 1000.0, kRate);
  EXPECT_GT(clipped.thdPlusNoiseDb, -20.0);
  EXPECT_LT(clipped.thdPlusNoiseDb, -10.0);
  EXPECT_NEAR(20.0 * std::log10(0.1 / std::sqrt(0.125 + 0.01)),  // offset against the whole
              fitSine(sine(0.5, 1.0, 0.1), 1000.0, kRate).thdPlusNoiseDb, 0.01);
  EXPECT_EQ(0.0, fitSine(std::vector<float>(100, 0.0f), 1000.0, kRate).thdPlusNoiseDb);
}

TEST(ChartAxes, DecadeTicksOnALogAxisAndDecibelTicksAroundTheCurves) {
  const LogFrequencyAxis x(10.0, 22050.0);
  std::vector<std::string> labels;
  std::size_t grid = 0;
  for (const AxisTick& t : x.ticks()) {
    if (t.label.empty()) ++grid;
    if (!t.label.empty()) labels.push_back(t.label);
    EXPECT_NEAR(std::log(t.value / 10.0) / std::log(2205.0), t.position, 1e-12);
  }
  EXPECT_EQ((std::vector<std::string>{"10", "100", "1k", "10k"}), labels);
  EXPECT_EQ(8u + 8u + 8u + 1u, grid);  // 20..90, 200..900, 2k..9k, 20k
  EXPECT_NEAR(0.0, x.position(10.0), 1e-12);
  EXPECT_NEAR(1.0, x.position(22050.0), 1e-12);
  EXPECT_EQ("2.5k", frequencyLabel(2500.0));

  // A lowpass: 0 dB passband, a deep stop band and a silent Nyquist.
  const DecibelAxis lowpass = DecibelAxis::fitting({{0.0, -3.0, -150.0, kSilentDb}});
  EXPECT_EQ(10.0, lowpass.top());
  EXPECT_EQ(-90.0, lowpass.bottom());
  std::vector<std::string> dbLabels;
  for (const AxisTick& t : lowpass.ticks()) dbLabels.push_back(t.label);
  EXPECT_EQ((std::vector<std::string>{"-90", "-80", "-70", "-60", "-50", "-40", "-30", "-20", "-10",
                                      "0", "+10"}),
            dbLabels);
  EXPECT_EQ(0.0, lowpass.position(-150.0));  // held at the plot's edge
  EXPECT_EQ(0.9, lowpass.position(0.0));

  const DecibelAxis flat = DecibelAxis::fitting({{-6.0, -6.0}});
  EXPECT_EQ(-3.0, flat.top());
  EXPECT_EQ(-6.0, flat.bottom());
}

TEST(ResponseChart, CsvHasTheFrequencyAndOneQuotedColumnPerCurve) {
  ResponseChart chart;
  chart.frequencies = {10.0, 22050.0};
  chart.curves = {{"Cutoff 200 Hz", {0.0, -60.25}}, {"Say \"hi\", twice", {-1.5, kSilentDb}}};
  EXPECT_EQ(
      "frequency_hz,\"Cutoff 200 Hz\",\"Say \"\"hi\"\", twice\"\n"
      "10.00,0.000,-1.500\n"
      "22050.00,-60.250,-200.000\n",
      responseCsv(chart));
}

}  // namespace
