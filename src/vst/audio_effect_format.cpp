// AudioEffect's value formatting tools: short texts of at most 8 characters
// for parameter displays. Each builds its text in a scratch buffer on the
// stack and copies only the finished text and its NUL into the caller's
// buffer, which must hold 9 bytes. A null buffer is left alone.
#include <cfloat>
#include <cmath>
#include <cstdio>

#include "vst/audio_effect.h"
#include "vst/host_text.h"

namespace {

constexpr int kMaxChars = 8;
constexpr std::size_t kTextSize = kMaxChars + 1;

constexpr const char* kHuge = "Huge!";
constexpr const char* kMinusInfinity = "-oo";
constexpr const char* kNotANumber = "NaN";

// Largest magnitudes float2string shows; beyond them the text is kHuge.
constexpr double kLargestPositive = 99999999.0;
constexpr double kLargestNegative = 9999999.0;
constexpr VstInt32 kLongLimit = 100000000;
constexpr VstInt32 kLongLowest = -9999999;

// The digit of a non-negative value: its remainder by 10, truncated.
char digitOf(double value) {
  return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0)));
}

// Rounds to single precision; beyond the float range the result is an
// infinity rather than an undefined conversion.
float toFloat(double value) {
  if (value > FLT_MAX) return INFINITY;
  if (value < -FLT_MAX) return -INFINITY;
  return static_cast<float>(value);
}

}  // namespace

void AudioEffect::float2string(float value, char* text) {
  if (text == nullptr) return;
  double v = value;
  if (std::isnan(v)) {
    copyText(text, kNotANumber, kTextSize);
    return;
  }

  bool negative = false;
  if (v < 0.0) {
    negative = true;
    v = -v;
    if (v > kLargestNegative) {
      copyText(text, kHuge, kTextSize);
      return;
    }
  } else if (v > kLargestPositive) {
    copyText(text, kHuge, kTextSize);
    return;
  }

  // Integer digits, lowest first. Dividing by ten is a multiplication by 0.1
  // and a digit is the truncated remainder; hosts show the digits this gives,
  // which for large values differ from exact division, and the tests pin them.
  const double whole = std::floor(v);
  char digits[kMaxChars];
  int digitCount = 0;
  double i = whole;
  do {
    digits[digitCount++] = digitOf(i);
    i *= 0.1;
  } while (i >= 1.0 && digitCount < kMaxChars);

  char scratch[kTextSize];
  int used = 0;
  if (negative) scratch[used++] = '-';
  const bool fitsWithPoint = used + digitCount + 1 <= kMaxChars;
  while (digitCount > 0) scratch[used++] = digits[--digitCount];
  if (fitsWithPoint) {
    // A whole number as wide as the text shows without its point.
    scratch[used++] = '.';
    // Fraction digits, truncated, never rounded, built from the right.
    const int fractionCount = kMaxChars - used;
    double m = (v - whole) * std::pow(10.0, fractionCount);
    for (int k = used + fractionCount - 1; k >= used; --k) {
      if (m > 0.0) {
        scratch[k] = digitOf(m);
        m *= 0.1;
      } else {
        scratch[k] = '0';
      }
    }
    used += fractionCount;
  }
  scratch[used] = '\0';
  copyText(text, scratch, kTextSize);
}

void AudioEffect::dB2string(float value, char* text) {
  if (text == nullptr) return;
  if (std::isnan(value)) {
    float2string(value, text);
  } else if (value > 0.0f) {
    float2string(toFloat(20.0 * std::log10(static_cast<double>(value))), text);
  } else {
    copyText(text, kMinusInfinity, kTextSize);
  }
}

void AudioEffect::Hz2string(float samples, char* text) {
  if (text == nullptr) return;
  const float rate = getSampleRate();
  if (samples == 0.0f) {
    float2string(0.0f, text);
  } else {
    float2string(toFloat(static_cast<double>(rate) / samples), text);
  }
}

// A sample rate of 0 gives an infinity or NaN, which float2string shows as
// "Huge!" or "NaN".
void AudioEffect::ms2string(float samples, char* text) {
  if (text == nullptr) return;
  const double milliseconds = static_cast<double>(samples) * 1000.0;
  float2string(toFloat(milliseconds / getSampleRate()), text);
}

// Values whose "%7d" text would not fit 8 characters, above or below, show
// "Huge!" rather than a cut number.
void AudioEffect::long2string(VstInt32 value, char* text) {
  if (text == nullptr) return;
  if (value >= kLongLimit || value < kLongLowest) {
    copyText(text, kHuge, kTextSize);
    return;
  }
  char scratch[16];
  std::snprintf(scratch, sizeof(scratch), "%7d", static_cast<int>(value));
  copyText(text, scratch, kTextSize);
}
