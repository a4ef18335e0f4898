// plughost's command-line values: notes and the MIDI messages they become,
// block by block with the right delta frames; settings; plug-in IDs.
#include "formats/automation_csv.h"
#include "formats/note_schedule.h"
#include "hosting/display_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include <string>
#include <vector>

#include "formats/parameter_assignment.h"
#include "formats/plugin_id.h"
#include "installation/installation_rules.h"
#include "support/number_text.h"

namespace {

using plughost::NoteSchedule;
using plughost::NoteSpec;

TEST(NoteText, ParsesNoteTimesAndVelocity) {
  NoteSpec n;
  std::string error;
  ASSERT_TRUE(plughost::parseNoteSpec("60@0.5-1.25", n, error)) << error;
  EXPECT_EQ(60, n.note);
  EXPECT_EQ(100, n.velocity);
  EXPECT_DOUBLE_EQ(0.5, n.start);
  EXPECT_DOUBLE_EQ(1.25, n.end);
  ASSERT_TRUE(plughost::parseNoteSpec("127:1@0-2", n, error)) << error;
  EXPECT_EQ(127, n.note);
  EXPECT_EQ(1, n.velocity);
  for (const char* bad :
       {"60", "60@1", "60@1-0.5", "60@1-1", "128@0-1", "60:0@0-1", "60:128@0-1", "60@0-1x", "x@0-1",
        "60@-1-2", "", "60@0-inf", "60@0-nan", "60@nan-1", "60@0-86400.5"}) {
    EXPECT_FALSE(plughost::parseNoteSpec(bad, n, error)) << bad;
    EXPECT_NE(std::string::npos, error.find("bad note")) << bad;
  }
}

TEST(NoteSchedule, MessagesLandInTheirBlockWithTheirOffset) {
  const NoteSchedule schedule({{60, 90, 0.1, 0.3}}, 1000.0);  // frames 100 and 300
  EXPECT_TRUE(schedule.block(0, 64).empty());
  const auto on = schedule.block(64, 64);
  ASSERT_EQ(1u, on.size());
  EXPECT_EQ(36, on[0].first);
  EXPECT_EQ((std::array<std::uint8_t, 4>{0x90, 60, 90, 0}), on[0].second.bytes);
  EXPECT_TRUE(schedule.block(128, 172).empty());  // ends just before frame 300
  const auto off = schedule.block(300, 1);
  ASSERT_EQ(1u, off.size());
  EXPECT_EQ(0, off[0].first);
  EXPECT_EQ((std::array<std::uint8_t, 4>{0x80, 60, 0, 0}), off[0].second.bytes);
}

// A file's note-on and note-off on one tick keep the file's order, so the
// note ends; a --note that ends where another begins still ends first.
TEST(NoteSchedule, MessagesOfOneFrameKeepTheFilesOrder) {
  const std::vector<plughost::TimedMidi> file = {{0.5, {0x90, 72, 100, 0}},
                                                 {0.5, {0x80, 72, 0, 0}}};
  const NoteSchedule schedule({{60, 100, 0.25, 0.5}, {64, 100, 0.5, 0.75}}, 1000.0, file);
  std::vector<std::array<std::uint8_t, 2>> order;
  for (const auto& [offset, message] : schedule.block(500, 1)) {
    EXPECT_EQ(0, offset);
    order.push_back({message.bytes[0], message.bytes[1]});
  }
  const std::vector<std::array<std::uint8_t, 2>> expected = {
      {0x80, 60}, {0x90, 72}, {0x80, 72}, {0x90, 64}};
  EXPECT_EQ(expected, order);
}

TEST(NoteSchedule, EveryMessageIsSentOnceInOrderWhateverTheBlockSize) {
  const NoteSchedule schedule({{64, 100, 0.5, 1.0}, {60, 100, 0.0, 0.5}, {67, 100, 0.25, 0.26}},
                              44100.0);
  // At 0.5 s note 60 ends and note 64 starts: the note-off comes first.
  const std::vector<std::int64_t> frames = {0, 11025, 11466, 22050, 22050, 44100};
  for (std::int32_t block : {1, 37, 512, 100000}) {
    std::vector<std::int64_t> seen;
    std::vector<std::uint8_t> statuses;
    for (std::int64_t start = 0; start < 50000; start += block) {
      for (const auto& [offset, message] : schedule.block(start, block)) {
        ASSERT_GE(offset, 0);
        ASSERT_LT(offset, block);
        seen.push_back(start + offset);
        statuses.push_back(message.bytes[0]);
      }
    }
    EXPECT_EQ(frames, seen) << block;
    EXPECT_EQ(0x80, statuses[3]) << block;
    EXPECT_EQ(0x90, statuses[4]) << block;
  }
}

TEST(SettingText, NameAndNormalisedValue) {
  plughost::ParameterAssignment a;
  std::string error;
  ASSERT_TRUE(plughost::parseParameterAssignment(" Cutoff = 0.25 ", a, error)) << error;
  EXPECT_EQ("Cutoff", a.name);
  EXPECT_EQ(-1, a.index);
  EXPECT_TRUE(a.normalised);
  EXPECT_FLOAT_EQ(0.25f, a.value);
  // Anything but a plain number within 0..1 is a display text to look for.
  for (const char* display : {"abc", "1.5", "-0.1", "-6 dB", "1e9x"}) {
    ASSERT_TRUE(plughost::parseParameterAssignment(std::string("#2=") + display, a, error));
    EXPECT_EQ("", a.name);
    EXPECT_EQ(2, a.index);
    EXPECT_FALSE(a.normalised) << display;
    EXPECT_EQ(display, a.display);
  }
  for (const char* bad : {"Cutoff", "=0.5", "Cutoff=", "#=1", "#x=1", "#-1=1", "#1x=0"}) {
    EXPECT_FALSE(plughost::parseParameterAssignment(bad, a, error)) << bad;
    EXPECT_EQ(0u, error.find("bad setting '")) << error;
  }
  EXPECT_TRUE(plughost::sameParameterName("cutOFF", "Cutoff"));
  EXPECT_FALSE(plughost::sameParameterName("Cut", "Cutoff"));
}

TEST(PluginIdText, NumbersOrFourCharacters) {
  std::int32_t id = 0;
  std::string error;
  ASSERT_TRUE(installation::parseUniqueId("DGai", id, error));
  EXPECT_EQ(0x44476169, id);
  EXPECT_EQ("DGai", plughost::pluginIdChars(id));
  ASSERT_TRUE(installation::parseUniqueId("1234", id, error));  // digits are a number
  EXPECT_EQ(1234, id);
  ASSERT_TRUE(installation::parseUniqueId("4294967295", id, error));
  EXPECT_EQ(-1, id);
  EXPECT_EQ("", plughost::pluginIdChars(1234));
  EXPECT_FALSE(installation::parseUniqueId("ABCDE", id, error));
  EXPECT_FALSE(installation::parseUniqueId("", id, error));
  EXPECT_FALSE(installation::parseUniqueId("99999999999", id, error));
  EXPECT_EQ("bad plug-in ID '99999999999': a number must lie within -2147483648..4294967295",
            error);
}

// A gain from -60.0 to 12.0 dB shown with one decimal, "-inf" at 0, and a
// three-way choice: what the demo engine's parameters show.
std::string gainDisplay(float v) {
  if (v <= 0.0f) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", -60.0 + 72.0 * v);
  return text;
}
std::string typeDisplay(float v) {
  return v < 1.0f / 3 ? "Lowpass" : v < 2.0f / 3 ? "Highpass" : "Bandpass";
}

TEST(DisplaySearch, FindsTheValueShowingANumberOrAText) {
  float v = -1.0f;
  std::string error;
  const struct {
    const char* wanted;
    const char* shown;
  } numbers[] = {{"-6dB", "-6.0"}, {"-6 dB", "-6.0"},   {"12", "12.0"},    {"-30", "-30.0"},
                 {"-inf", "-inf"}, {"-inf dB", "-inf"}, {"-INFdb", "-inf"}};
  for (const auto& c : numbers) {
    ASSERT_TRUE(plughost::findDisplayedValue(c.wanted, "dB", gainDisplay, v, error))
        << c.wanted << ": " << error;
    EXPECT_EQ(c.shown, gainDisplay(v)) << c.wanted;
  }
  ASSERT_TRUE(plughost::findDisplayedValue("highPASS", "", typeDisplay, v, error)) << error;
  EXPECT_EQ("Highpass", typeDisplay(v));
  EXPECT_NEAR(0.5f, v, 0.01f);  // the middle of its range, away from the edges
  // A kilo prefix on the label's unit: "1.5 kHz" is the display 1500 (Hz).
  const plughost::DisplayAt hzDisplay = [](float x) {
    return std::to_string(std::lround(20.0 * std::pow(1000.0, x)));
  };
  ASSERT_TRUE(plughost::findDisplayedValue("1.5 kHz", "Hz", hzDisplay, v, error)) << error;
  EXPECT_EQ("1500", hzDisplay(v));
  // An engine's text at the minimum ("Off" for 0 %): the number it hides is
  // found there, and the label stays with numbers.
  const plughost::DisplayAt depthDisplay = [](float x) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 100.0 * x);
    return x <= 0.0f ? std::string("Off") : std::string(text);
  };
  for (const char* wanted : {"0%", "0 %", "0.04", "Off"}) {
    v = 0.5f;
    ASSERT_TRUE(plughost::findDisplayedValue(wanted, "%", depthDisplay, v, error)) << wanted;
    EXPECT_EQ(0.0f, v) << wanted;
  }
  ASSERT_TRUE(plughost::findDisplayedValue("0.1%", "%", depthDisplay, v, error)) << error;
  EXPECT_EQ("0.1", depthDisplay(v));
  EXPECT_FALSE(plughost::findDisplayedValue("-1%", "%", depthDisplay, v, error));
  EXPECT_EQ("no value that shows '-1%' (the display runs from Off to 100.0 %)", error);
  EXPECT_EQ("Off", plughost::withLabel("Off", "%"));
  EXPECT_EQ("-inf dB", plughost::withLabel("-inf", "dB"));
  EXPECT_EQ("25.0 %", plughost::withLabel("25.0", "%"));
  EXPECT_EQ("25.0", plughost::withLabel("25.0", ""));

  const struct {
    const char* wanted;
    const char* label;
    plughost::DisplayAt display;
    const char* message;
  } bad[] = {
      {"13dB", "dB", gainDisplay,
       "no value that shows '13dB' (the display runs from -inf dB to 12.0 dB)"},
      {"-6Hz", "dB", gainDisplay, "'-6Hz': the unit is 'dB'"},
      {"0x1", "dB", gainDisplay, "'0x1': the unit is 'dB'"},
      {"Notch", "", typeDisplay,
       "no value that shows 'Notch' (the display runs from Lowpass to Bandpass)"},
  };
  for (const auto& c : bad) {
    EXPECT_FALSE(plughost::findDisplayedValue(c.wanted, c.label, c.display, v, error)) << c.wanted;
    EXPECT_EQ(c.message, error);
  }
}

TEST(AutomationCsv, PointsInTimeOrderWithNamesOrIndexes) {
  std::vector<plughost::AutomationPoint> points;
  std::string error;
  ASSERT_TRUE(
      plughost::parseAutomationCsv("time,parameter,value\r\n# a comment\n\n"
                                   "1.5, Cutoff ,0.25\r\n0,#2,1\n1.5,Type,0\n0.25,Gain,0.5",
                                   points, error))
      << error;
  ASSERT_EQ(4u, points.size());
  EXPECT_EQ("#2", points[0].parameter);
  EXPECT_EQ(1.0f, points[0].value);
  EXPECT_EQ("Gain", points[1].parameter);
  EXPECT_DOUBLE_EQ(0.25, points[1].seconds);
  EXPECT_EQ("Cutoff", points[2].parameter);  // equal times keep the file's order
  EXPECT_EQ("Type", points[3].parameter);

  const struct {
    const char* text;
    const char* message;
  } bad[] = {
      {"0,Gain", "line 1: expected TIME,PARAMETER,VALUE, e.g. 0.5,Cutoff,0.25"},
      {"0,Gain,0.5,1", "line 1: expected TIME,PARAMETER,VALUE, e.g. 0.5,Cutoff,0.25"},
      {"\n-1,Gain,0.5", "line 2: the time must be a number of seconds from 0"},
      {"inf,Gain,0.5", "line 1: the time must be a number of seconds from 0"},
      {"x,Gain,0.5", "line 1: the time must be a number of seconds from 0"},
      {"0, ,0.5", "line 1: no parameter"},
      {"0,Gain,1.5", "line 1: the value must be a normalised number within 0..1"},
      {"0,Gain,nan", "line 1: the value must be a normalised number within 0..1"},
      {"0,Gain,", "line 1: the value must be a normalised number within 0..1"},
  };
  for (const auto& c : bad) {
    points.assign(1, {});
    EXPECT_FALSE(plughost::parseAutomationCsv(c.text, points, error)) << c.text;
    EXPECT_EQ(c.message, error);
    EXPECT_EQ(1u, points.size());  // untouched
  }
}

}  // namespace

// Every numeric option and value is read by one parser: decimal digits only,
// with the reason for anything else (the option parser and strtod would read
// "" as 0 and "0x10" as sixteen).
TEST(NumberText, ReadsDecimalOnlyAndSaysWhyNot) {
  using plughost::NumberForm;
  struct Case {
    const char* text;
    NumberForm form;
    bool read;
    double value;
    const char* reason;
  };
  const NumberForm whole = NumberForm::whole;
  const NumberForm decimal = NumberForm::decimal;
  const Case cases[] = {
      {"48000", whole, true, 48000, ""},
      {"-12", whole, true, -12, ""},
      {"+3", whole, true, 3, ""},
      {"0.5", decimal, true, 0.5, ""},
      {".5", decimal, true, 0.5, ""},
      {"5.", decimal, true, 5, ""},
      {"-6e-1", decimal, true, -0.6, ""},
      {"1E3", decimal, true, 1000, ""},
      {"", whole, false, 0, "an empty value is not a number"},
      {"", decimal, false, 0, "an empty value is not a number"},
      {"0x10", decimal, false, 0, "'0x10' is not a decimal number (hexadecimal is not read)"},
      {"0xAC44", whole, false, 0, "'0xAC44' is not a decimal number (hexadecimal is not read)"},
      {"-0X1", decimal, false, 0, "'-0X1' is not a decimal number (hexadecimal is not read)"},
      {"1e3", whole, false, 0, "'1e3' is not written in whole digits: write 1000"},
      {"44100.5", whole, false, 0, "'44100.5' is not a whole number"},
      {"inf", decimal, false, 0, "'inf' is not a finite number"},
      {"-Infinity", decimal, false, 0, "'-Infinity' is not a finite number"},
      {"nan", whole, false, 0, "'nan' is not a finite number"},
      {"1e999", decimal, false, 0, "'1e999' is too large"},
      {" 5", whole, false, 0, "' 5' is not a number"},
      {"5 ", whole, false, 0, "'5 ' is not a number"},
      {"1e", decimal, false, 0, "'1e' is not a number"},
      {".", decimal, false, 0, "'.' is not a number"},
      {"-", whole, false, 0, "'-' is not a number"},
      {"12abc", whole, false, 0, "'12abc' is not a number"},
  };
  for (const Case& c : cases) {
    double value = -777.0;
    std::string reason;
    EXPECT_EQ(c.read, plughost::readNumber(c.text, c.form, value, reason)) << c.text;
    if (c.read) {
      EXPECT_DOUBLE_EQ(c.value, value) << c.text;
      EXPECT_EQ("", reason) << c.text;
    } else {
      EXPECT_EQ(-777.0, value) << c.text << ": unchanged on failure";
      EXPECT_EQ(c.reason, reason) << c.text;
    }
  }
  // The prefix a display starts with: "-6dB" is the number -6 and a unit.
  EXPECT_EQ(2u, plughost::decimalPrefixLength("-6dB", decimal));
  EXPECT_EQ(3u, plughost::decimalPrefixLength("1.5k", decimal));
  EXPECT_EQ(1u, plughost::decimalPrefixLength("1.5k", whole));
  EXPECT_EQ(1u, plughost::decimalPrefixLength("1e", decimal));
  EXPECT_EQ(0u, plughost::decimalPrefixLength("inf dB", decimal));
}

// A setting's value in hexadecimal is not taken as a normalised value; notes
// are timed in decimal seconds.
TEST(NumberText, SettingsAndNotesRefuseHexadecimal) {
  plughost::ParameterAssignment assignment;
  std::string error;
  ASSERT_TRUE(plughost::parseParameterAssignment("Gain=0x1", assignment, error)) << error;
  EXPECT_FALSE(assignment.normalised);
  ASSERT_TRUE(plughost::parseParameterAssignment("Gain=1", assignment, error)) << error;
  EXPECT_TRUE(assignment.normalised);
  plughost::NoteSpec note;
  EXPECT_FALSE(plughost::parseNoteSpec("60@0x1-2", note, error));
}
