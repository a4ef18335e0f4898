// The validator's own judges: guard regions that must see every stray write,
// the reading of a child's results and ending, and the JSON report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "validate/check_result.h"
#include "validate/guarded_buffers.h"
#include "validate/json_report.h"
#include "validate/sound_compare.h"

namespace {

using plughost::GuardedAudio;
using plughost::GuardedText;
using plughost::Signal;

TEST(ValidateGuardedText, SeesUnterminatedTextsAndWritesPastTheBuffer) {
  struct Case {
    std::size_t bytes;  // written, the last one a NUL when `terminated`
    bool terminated;
    const char* fault;
  };
  const Case cases[] = {
      {0, false, ""},
      {4, true, ""},
      {64, true, ""},
      {64, false, "wrote a text with no NUL in the 64-byte buffer"},
      {65, true, "wrote 1 bytes past the 64-byte buffer"},
      {200, false, "wrote 136 bytes past the 64-byte buffer"},
  };
  for (const Case& c : cases) {
    GuardedText text;
    std::memset(text.data(), 'x', c.bytes);
    if (c.terminated && c.bytes > 0) text.data()[c.bytes - 1] = '\0';
    EXPECT_EQ(c.fault, text.fault()) << c.bytes;
  }
  GuardedText text;
  std::strcpy(text.data(), "Cutoff");
  EXPECT_EQ("Cutoff", text.text());
}

TEST(ValidateGuardedAudio, SeesEveryWriteOutsideTheFramesAndChannelsGiven) {
  std::mt19937 random(1);
  struct Case {
    int channel;  // of the output pointer array; 2 and 3 are beyond the outputs
    int frame;
    const char* fault;
  };
  const Case cases[] = {
      {0, 63, ""},
      {1, 64, "wrote output channel 1 at frame 64 of a 64-frame block"},
      {0, -1, "wrote output channel 0 at frame -1 of a 64-frame block"},
      {2, 0, "wrote to output channel 2, beyond the 2 given"},
      {3, 10, "wrote to output channel 3, beyond the 2 given"},
  };
  for (const Case& c : cases) {
    GuardedAudio audio(2, 2, 128);
    audio.prepare(Signal::Noise, 64, false, random);
    audio.outputs()[c.channel][c.frame] = 0.5f;
    EXPECT_EQ(c.fault, audio.guardFault()) << c.channel << " " << c.frame;
  }
  // In place, the inputs are the outputs, and input guards are watched too.
  GuardedAudio audio(2, 2, 128);
  audio.prepare(Signal::FullScale, 32, true, random);
  EXPECT_EQ(audio.inputs()[1], audio.outputs()[1]);
  EXPECT_EQ(1.0f, audio.outputPeak());
  audio.inputs()[2][0] = 0.0f;
  EXPECT_EQ("wrote to input channel 2, beyond the 2 given", audio.guardFault());
}

// A replacing call must write every sample of every output it was given,
// but an in-place channel holds its input and is not judged.
TEST(ValidateGuardedAudio, SeesEveryOutputSampleLeftUnwritten) {
  std::mt19937 random(1);
  struct Case {
    int channelsWritten;  // of 3 outputs, fully
    int partial;          // frames written of the next channel; -1 none
    bool inPlace;
    const char* fault;
  };
  const Case cases[] = {
      {3, -1, false, ""},
      {2, -1, false, "never wrote output channel 2"},
      {0, -1, false, "never wrote output channel 0"},
      {1, 47, false, "left 1 of 48 samples of output channel 1 unwritten, the first at frame 47"},
      {1, 0, true, "never wrote output channel 2"},  // channel 1 is in place
      {3, -1, true, ""},
  };
  for (const Case& c : cases) {
    GuardedAudio audio(2, 3, 64);
    audio.prepare(Signal::Noise, 48, c.inPlace, random, 0, true);
    for (int ch = 0; ch < c.channelsWritten; ++ch) {
      for (int i = 0; i < 48; ++i) audio.outputs()[ch][i] = 0.0f;
    }
    for (int i = 0; i < c.partial; ++i) audio.outputs()[c.channelsWritten][i] = 0.0f;
    EXPECT_EQ(c.fault, audio.unwrittenOutput()) << c.channelsWritten << " " << c.partial;
    EXPECT_EQ("", audio.guardFault());
  }
  // Unmarked (an accumulating call), outputs start at zero and are not judged.
  GuardedAudio audio(0, 1, 16);
  audio.prepare(Signal::Silence, 16, false, random);
  EXPECT_EQ(0.0f, audio.outputPeak());
  EXPECT_EQ("", audio.unwrittenOutput());
}

TEST(ValidateGuardedAudio, PeakIsNaNForAnyNonFiniteSampleAndSubnormalsAreCounted) {
  std::mt19937 random(1);
  GuardedAudio audio(0, 2, 16);
  audio.prepare(Signal::Silence, 16, false, random);
  audio.outputs()[1][3] = -2.0f;
  audio.outputs()[0][5] = 1e-40f;
  EXPECT_EQ(2.0f, audio.outputPeak());
  EXPECT_EQ(1, audio.subnormalCount());
  audio.outputs()[1][15] = INFINITY;
  EXPECT_TRUE(std::isnan(audio.outputPeak()));
}

TEST(ValidateCheckResult, ReadsResultLinesAndHowTheChildEnded) {
  plughost::ChildOutcome clean;
  clean.started = true;
  clean.results = "NOTE the output depends on the sample rate\nFIGURE calls 100000\n";
  plughost::CheckResult result;
  result.name = "fuzz";
  plughost::addOutcome(result, clean, 1000);
  plughost::addOutcome(result, clean, 1000);  // a second child of the same check
  EXPECT_EQ(plughost::Verdict::Pass, result.verdict);
  EXPECT_EQ(200000.0, plughost::figure(result, "calls"));
  EXPECT_EQ(2u, result.notes.size());

  plughost::ChildOutcome crash;
  crash.started = true;
  crash.exitCode = 0xC0000005u;
  crash.lastCall = "setParameter(3, 0.5)";
  crash.results = "FAIL parameter 2: getParameter answers 1.5\n";
  plughost::CheckResult crashed;
  crashed.name = "parameters";
  plughost::addOutcome(crashed, crash, 1000);
  EXPECT_EQ(plughost::Verdict::Fail, crashed.verdict);
  ASSERT_EQ(2u, crashed.failures.size());
  EXPECT_EQ("crashed with exception 0xC0000005 (access violation) in setParameter(3, 0.5)",
            crashed.failures[0]);
  EXPECT_EQ("parameter 2: getParameter answers 1.5", crashed.failures[1]);

  plughost::ChildOutcome hang;
  hang.started = true;
  hang.timedOut = true;
  hang.exitCode = 1;
  hang.lastCall = "main(hostCallback)";
  hang.dialog = "Error: Registry error";
  plughost::CheckResult hung;
  hung.name = "open";
  plughost::addOutcome(hung, hang, 2500);
  EXPECT_EQ(
      "timed out after 2500 ms in main(hostCallback); a dialog nobody answers was open: Error: "
      "Registry error",
      hung.failures.at(0));

  plughost::ChildOutcome skipped;
  skipped.started = true;
  skipped.results = "SKIP the effect takes no MIDI\n";
  plughost::CheckResult skip;
  skip.name = "midi";
  plughost::addOutcome(skip, skipped, 1000);
  EXPECT_EQ(plughost::Verdict::Skip, skip.verdict);
  EXPECT_EQ("SKIP  midi         0.00 s  the effect takes no MIDI", plughost::resultLine(skip));
}

// Warnings pass unless --strict; a check that never ran says why.
TEST(ValidateCheckResult, WarningsFailOnlyUnderStrict) {
  plughost::ChildOutcome outcome;
  outcome.started = true;
  outcome.results = "WARN 12 subnormal output samples in the silence after noise\n";
  for (bool strict : {false, true}) {
    plughost::CheckResult result;
    result.name = "audio";
    plughost::addOutcome(result, outcome, 1000);
    if (strict) plughost::treatWarningsAsFailures(result);
    EXPECT_EQ(strict ? plughost::Verdict::Fail : plughost::Verdict::Pass, result.verdict);
    EXPECT_EQ(strict ? 0u : 1u, result.warnings.size());
    if (strict) {
      EXPECT_EQ(
          "FAIL  audio        0.00 s  12 subnormal output samples in the silence after noise (a "
          "failure under --strict)",
          plughost::resultLine(result));
    }
  }
  EXPECT_EQ("SKIP  fuzz         0.00 s  not run: the effect does not open",
            plughost::resultLine(plughost::notRun("fuzz", "the effect does not open")));
}

TEST(ValidateJsonReport, EscapesTextsAndWritesNullForNonFiniteFigures) {
  plughost::CheckResult result;
  result.name = "texts";
  result.verdict = plughost::Verdict::Fail;
  result.failures = {"a \"quoted\" C:\\path\twith tab"};
  result.figures = {{"peak", NAN}, {"calls", 12}};
  const std::string json = plughost::jsonReport({"C:\\x.dll", 3, 42, 500}, {result});
  EXPECT_NE(std::string::npos, json.find("\"plugin\": \"C:\\\\x.dll\",")) << json;
  EXPECT_NE(std::string::npos, json.find("\"passed\": false,")) << json;
  EXPECT_NE(std::string::npos,
            json.find("\"failures\": [\"a \\\"quoted\\\" C:\\\\path\\u0009with tab\"]"))
      << json;
  EXPECT_NE(std::string::npos, json.find("\"figures\": {\"peak\": null, \"calls\": 12}")) << json;
}

}  // namespace

namespace sound {

using plughost::Recording;

// A one-pole lowpass's impulse response: `cutoff` Hz at `rate`.
std::vector<float> onePole(double cutoff, double rate, int frames = 8192) {
  const double a = 1.0 - std::exp(-2.0 * 3.14159265358979 * cutoff / rate);
  std::vector<float> response(static_cast<std::size_t>(frames));
  double y = 0.0;
  for (int i = 0; i < frames; ++i) {
    y += a * ((i == 0 ? 1.0 : 0.0) - y);
    response[static_cast<std::size_t>(i)] = static_cast<float>(y);
  }
  return response;
}

TEST(ValidateSoundCompare, NamesTheFirstDifferingSampleOrWindow) {
  const Recording expected = {{0.0f, 0.5f, 0.25f}, {1.0f, 1.0f, 1.0f}};
  struct Case {
    Recording actual;
    bool found;
    int channel;
    long frame;
  };
  const float nan = std::nanf("");
  const Case cases[] = {
      {{{0.0f, 0.5f, 0.25f}, {1.0f, 1.0f, 1.0f}}, false, 0, 0},
      {{{0.0f, 0.5f, 0.25f}, {1.0f, 1.0f, 0.5f}}, true, 1, 2},
      {{{-0.0f, 0.5f, 0.25f}, {1.0f, 1.0f, 1.0f}}, false, 0, 0},  // -0 plays as 0
      {{{0.0f, 0.5f}, {1.0f, 1.0f, 1.0f}}, true, 0, 2},           // a channel cut short
      {{{nan, 0.5f, 0.25f}, {1.0f, 1.0f, 1.0f}}, true, 0, 0},
      {{{0.0f, 0.5f, 0.25f}}, true, 1, 0},  // a channel missing
  };
  for (const Case& c : cases) {
    const plughost::Difference d = plughost::firstDifference(expected, c.actual);
    EXPECT_EQ(c.found, d.found);
    EXPECT_EQ(c.channel, d.channel);
    EXPECT_EQ(c.frame, d.frame);
  }
  EXPECT_EQ("output channel 1 from frame 2 (0.5, not 1)",
            plughost::describe(plughost::firstDifference(expected, cases[1].actual)));
  // The same NaN on both sides is the same sample.
  EXPECT_FALSE(plughost::firstDifference({{nan}}, {{nan}}).found);
}

TEST(ValidateSoundCompare, LevelsWithinSixDecibelsOrBelowTheFloorAreTheSame) {
  const auto level = [](float value) { return std::vector<float>(2048, value); };
  struct Case {
    float expected, actual;
    bool found;
  };
  const Case cases[] = {
      {0.5f, 0.5f, false}, {0.5f, 0.26f, false}, {0.5f, 0.24f, true},
      {0.5f, 1.1f, true},  {1e-4f, 0.0f, false}, {0.0f, 0.01f, true},
  };
  for (const Case& c : cases) {
    const plughost::Difference d =
        plughost::levelDifference({level(c.expected)}, {level(c.actual)});
    EXPECT_EQ(c.found, d.found) << c.expected << " " << c.actual;
  }
  std::vector<float> late = level(0.5f);
  std::fill(late.begin() + 1024, late.end(), 0.0f);
  EXPECT_EQ("output channel 0 in frames 1024 to 2047 (-240.0 dBFS, not -6.0 dBFS)",
            plughost::describe(plughost::levelDifference({level(0.5f)}, {late})));
}

TEST(ValidateSoundCompare, AResponseThatIgnoresTheRateIsFoundShortOrLong) {
  struct Case {
    const char* what;
    std::vector<float> at44, at96;
    bool ignores;
  };
  std::vector<float> gain(8192, 0.0f);
  gain[0] = 0.5f;
  std::vector<float> delay(8192, 0.0f);
  delay[64] = 1.0f;
  const Case cases[] = {
      {"one-pole following the rate", onePole(1000, 44100), onePole(1000, 96000), false},
      {"one-pole ignoring the rate", onePole(1000, 44100), onePole(1000 * 96000.0 / 44100, 96000),
       true},
      {"a short one ignoring it", onePole(8000, 44100), onePole(8000 * 96000.0 / 44100, 96000),
       true},
      {"a gain", gain, gain, false},
      {"a fixed delay", delay, delay, false},
  };
  for (const Case& c : cases) {
    const plughost::RateComparison r = plughost::compareRates(c.at44, 44100, c.at96, 96000);
    EXPECT_EQ(c.ignores, plughost::ignoresRate(r))
        << c.what << ": " << r.sameHzDb << " dB in Hz, " << r.sameFractionDb << " dB in fractions";
  }
}

}  // namespace sound
