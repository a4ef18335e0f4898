// The value formatting tools. Every text is written into a buffer filled with
// a sentinel, so a write past the text's NUL (or past 9 bytes) is caught.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "plain_effect.h"

namespace {

constexpr char kSentinel = '#';
constexpr std::size_t kBufferSize = 32;

// Runs `format` on a sentinel-filled buffer; fails when it writes anything
// after its NUL or more than 8 characters.
template <typename Format>
std::string formatted(Format format) {
  char buffer[kBufferSize];
  std::memset(buffer, kSentinel, sizeof(buffer));
  format(buffer);
  const void* nul = std::memchr(buffer, '\0', sizeof(buffer));
  if (nul == nullptr) {
    ADD_FAILURE() << "no NUL written";
    return {};
  }
  const std::size_t length = static_cast<const char*>(nul) - buffer;
  EXPECT_LE(length, 8u) << std::string(buffer, length);
  for (std::size_t i = length + 1; i < sizeof(buffer); ++i) {
    EXPECT_EQ(buffer[i], kSentinel) << "byte " << i << " written after " << buffer;
  }
  return std::string(buffer, length);
}

enum class Tool { Float, Db, Hz, Ms };

struct Row {
  Tool tool;
  float input;
  const char* text;
};

std::string run(AudioEffect& effect, Tool tool, float input) {
  return formatted([&](char* text) {
    switch (tool) {
      case Tool::Float:
        effect.float2string(input, text);
        break;
      case Tool::Db:
        effect.dB2string(input, text);
        break;
      case Tool::Hz:
        effect.Hz2string(input, text);
        break;
      case Tool::Ms:
        effect.ms2string(input, text);
        break;
    }
  });
}

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(ValueFormat, FloatTextsAtTheDefaultSampleRate) {
  const Row rows[] = {
      {Tool::Float, 0.0f, "0.000000"},
      {Tool::Float, 1.5f, "1.500000"},
      {Tool::Float, -1.5f, "-1.50000"},
      {Tool::Float, -0.5f, "-0.50000"},
      {Tool::Float, -0.0f, "0.000000"},
      {Tool::Float, 0.1f, "0.100000"},
      {Tool::Float, 3.14159265f, "3.141592"},
      {Tool::Float, 2.675f, "2.674999"},  // truncated, never rounded
      {Tool::Float, 12345.678f, "12345.67"},
      {Tool::Float, 1234567.0f, "1234567."},
      {Tool::Float, -123456.7f, "-123456."},
      {Tool::Float, 1000.0f, "1000.000"},
      {Tool::Float, 9999999.0f, "9999999."},
      {Tool::Float, 100000000.0f, "Huge!"},
      {Tool::Float, -10000000.0f, "Huge!"},
      // Integer parts as wide as the text show without their point.
      {Tool::Float, 10000000.0f, "10000000"},
      {Tool::Float, 12345678.0f, "12345678"},
      {Tool::Float, 99999992.0f, "99999992"},
      {Tool::Float, -1000000.0f, "-1000000"},
      {Tool::Float, -9999999.0f, "-9999999"},
      {Tool::Float, -1234567.5f, "-1234567"},
      {Tool::Float, kInf, "Huge!"},
      {Tool::Float, -kInf, "Huge!"},
      {Tool::Float, kNaN, "NaN"},

      {Tool::Db, 1.0f, "0.000000"},
      {Tool::Db, 0.5f, "-6.02059"},
      {Tool::Db, 2.0f, "6.020599"},
      {Tool::Db, 0.001f, "-60.0000"},
      {Tool::Db, 0.0f, "-oo"},
      {Tool::Db, -1.0f, "-oo"},
      {Tool::Db, -kInf, "-oo"},
      {Tool::Db, kInf, "Huge!"},
      {Tool::Db, kNaN, "NaN"},

      {Tool::Hz, 0.0f, "0.000000"},
      {Tool::Hz, 100.0f, "441.0000"},
      {Tool::Hz, 1.0f, "44100.00"},
      {Tool::Hz, 1e-40f, "Huge!"},  // beyond the float range
      {Tool::Hz, kNaN, "NaN"},

      {Tool::Ms, 44100.0f, "1000.000"},
      {Tool::Ms, 441.0f, "10.00000"},
      {Tool::Ms, 1.0f, "0.022675"},
      {Tool::Ms, 1e12f, "Huge!"},
  };
  for (const Row& row : rows) {
    PlainEffect effect;
    EXPECT_EQ(run(effect, row.tool, row.input), row.text)
        << "tool " << static_cast<int>(row.tool) << " input " << row.input;
  }
}

TEST(ValueFormat, MillisecondsAtARateOfZeroStayWithinTheText) {
  PlainEffect effect;
  effect.setSampleRate(0.0f);
  EXPECT_EQ(run(effect, Tool::Ms, 1.0f), "Huge!");
  EXPECT_EQ(run(effect, Tool::Ms, 0.0f), "NaN");
}

TEST(ValueFormat, IntegerTexts) {
  struct IntRow {
    VstInt32 value;
    const char* text;
  };
  const IntRow rows[] = {
      {0, "      0"},
      {-5, "     -5"},
      {1234567, "1234567"},
      {12345678, "12345678"},
      {99999999, "99999999"},
      {100000000, "Huge!"},
      {std::numeric_limits<VstInt32>::max(), "Huge!"},
      {-9999999, "-9999999"},
      // "%7d" of these needs 9 characters or more.
      {-10000000, "Huge!"},
      {std::numeric_limits<VstInt32>::min(), "Huge!"},
  };
  for (const IntRow& row : rows) {
    PlainEffect effect;
    EXPECT_EQ(formatted([&](char* text) { effect.long2string(row.value, text); }), row.text)
        << row.value;
  }
}

TEST(ValueFormat, NullBufferIsLeftAlone) {
  PlainEffect effect;
  effect.float2string(1.0f, nullptr);
  effect.dB2string(1.0f, nullptr);
  effect.Hz2string(1.0f, nullptr);
  effect.ms2string(1.0f, nullptr);
  effect.long2string(1, nullptr);
}

// Replaces getSampleRate and float2string to see that the other tools use
// them through the operation table.
class RateEffect : public PlainEffect {
 public:
  std::vector<float> formattedValues;
  float getSampleRate() override { return 48000.0f; }
  void float2string(float value, char* text) override {
    formattedValues.push_back(value);
    PlainEffect::float2string(value, text);
  }
};

TEST(ValueFormat, ToolsUseTheReplaceableSampleRateAndFloatFormat) {
  RateEffect effect;
  EXPECT_EQ(run(effect, Tool::Hz, 100.0f), "480.0000");
  EXPECT_EQ(run(effect, Tool::Ms, 480.0f), "10.00000");
  EXPECT_EQ(run(effect, Tool::Db, 1.0f), "0.000000");
  EXPECT_EQ(run(effect, Tool::Db, 0.0f), "-oo");
  EXPECT_EQ(effect.formattedValues, (std::vector<float>{480.0f, 10.0f, 0.0f}));
}

}  // namespace
