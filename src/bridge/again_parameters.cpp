// Parameter access and display: every request re-reads the engine's
// description and converts through a converter made for that one use.
// A host index the map does not know never reaches the engine.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "bridge/again.h"
#include "bridge/converter_choice.h"
#include "convert/power_of_ten.h"

namespace {

constexpr std::size_t kNameWorkSize = 128;
constexpr std::size_t kValueNamesWorkSize = 1100;
constexpr std::size_t kNumberTextSize = 32;
// The most places the 32-byte number text holds: a sign, "0." and the
// places, then the NUL (with 10 or more places the whole part is 0).
constexpr std::int32_t kMaxShownDecimals = 28;

bool isEmpty(const char* text) {
  return text == nullptr || text[0] == '\0';
}

// Copies item `index` of an "@"-separated list into `text`; false when the
// list has no such item.
bool copyNamedValue(const char* valueNames, std::int32_t index, char* text) {
  if (index < 0) return false;
  char work[kValueNamesWorkSize];
  copyText(work, valueNames, sizeof work);
  const char* item = work;
  for (std::int32_t skipped = 0; skipped < index; ++skipped) {
    item = std::strchr(item, '@');
    if (item == nullptr) return false;
    ++item;
  }
  char* end = std::strchr(const_cast<char*>(item), '@');
  if (end != nullptr) *end = '\0';
  copyText(text, item);
  return true;
}

// Writes value / 10^places with `places` decimals (1 to kMaxShownDecimals)
// from the integer's own digits: exactly the decimal value, which formatting
// the quotient as a double would give only up to 9 places, and without the
// cost of formatting a double.
void formatFixedPoint(std::int32_t value, std::int32_t places, char* out) {
  std::int64_t magnitude = value < 0 ? -static_cast<std::int64_t>(value) : value;
  char digits[kMaxShownDecimals + 2];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  while (count <= places) digits[count++] = '0';  // at least one digit before the point
  char* cursor = out;
  if (value < 0) *cursor++ = '-';
  for (int i = count - 1; i >= 0; --i) {
    *cursor++ = digits[i];
    if (i == places && i != 0) *cursor++ = '.';
  }
  *cursor = '\0';
}

// The engine value as a number with the description's decimal places.
void formatNumber(std::int32_t value, std::int32_t decimals, char* text) {
  char number[kNumberTextSize];
  if (decimals == 0) {
    std::snprintf(number, sizeof number, "%d", static_cast<int>(value));
  } else if (decimals > 0 && decimals <= kMaxShownDecimals) {
    formatFixedPoint(value, decimals, number);
  } else {
    // Negative places scale the value up and show no fraction; more places
    // than the text holds are cut to those it holds.
    const int places = decimals < 0 ? 0 : kMaxShownDecimals;
    const double real = static_cast<double>(value) / ovu::powerOfTen(decimals);
    std::snprintf(number, sizeof number, "%.*f", places, real);
  }
  copyText(text, number);
}

}  // namespace

// A value the curve cannot reach (far below a logarithmic minimum, or beyond
// what a float holds) has no normalised image: refused like a missing converter.
bool AGain::toNormalized(const kel::SParameterInfo& info, std::int32_t value, float* normalized) {
  const bridge::ConverterFor converter(info);
  if (converter.get() == nullptr) return false;
  const float result = static_cast<float>(converter.get()->valueToNormalized(value));
  if (!std::isfinite(result)) return false;
  *normalized = result;
  return true;
}

bool AGain::toEngineValue(const kel::SParameterInfo& info, float normalized, std::int32_t* value) {
  const bridge::ConverterFor converter(info);
  if (converter.get() == nullptr) return false;
  *value = converter.get()->normalizedToValue(static_cast<double>(normalized));
  return true;
}

kel::IProcessor* AGain::engineParameterOf(VstInt32 hostIndex, std::int32_t* engineIndex) const {
  kel::IProcessor* engine = liveProcessor();
  if (engine == nullptr || !parameterMap.engineIndexOf(hostIndex, engineIndex)) return nullptr;
  return engine;
}

kel::IProcessor* AGain::describedParameterOf(VstInt32 hostIndex, std::int32_t* engineIndex,
                                             kel::SParameterInfo& info) const {
  kel::IProcessor* engine = engineParameterOf(hostIndex, engineIndex);
  if (engine != nullptr) bridge::describeParameter(*engine, *engineIndex, info);
  return engine;
}

// A value that is not a finite number (a careless host's NaN or infinity)
// has no engine value: ignored before anything reaches the engine.
void AGain::setParameter(VstInt32 index, float value) {
  if (!std::isfinite(value)) return;
  std::int32_t engineIndex = 0;
  kel::SParameterInfo info;
  kel::IProcessor* engine = describedParameterOf(index, &engineIndex, info);
  if (engine == nullptr) return;
  std::int32_t engineValue = 0;
  if (toEngineValue(info, value, &engineValue)) engine->setParameter(engineIndex, engineValue);
}

float AGain::getParameter(VstInt32 index) {
  std::int32_t engineIndex = 0;
  kel::IProcessor* engine = engineParameterOf(index, &engineIndex);
  if (engine == nullptr) return 0.0f;
  const std::int32_t engineValue = engine->getParameter(engineIndex);
  kel::SParameterInfo info;
  bridge::describeParameter(*engine, engineIndex, info);
  float normalized = 0.0f;
  return toNormalized(info, engineValue, &normalized) ? normalized : 0.0f;
}

void AGain::getParameterName(VstInt32 index, char* text) {
  copyText(text, "");
  std::int32_t engineIndex = 0;
  kel::SParameterInfo info;
  kel::IProcessor* engine = describedParameterOf(index, &engineIndex, info);
  if (engine == nullptr) return;
  // Engines append a group after "@" (e.g. "Cutoff@Filter"); hosts get the name.
  char work[kNameWorkSize];
  copyText(work, info.name, sizeof work);
  char* at = std::strchr(work, '@');
  if (at != nullptr) *at = '\0';
  copyText(text, work);
}

void AGain::getParameterLabel(VstInt32 index, char* label) {
  copyText(label, "");
  std::int32_t engineIndex = 0;
  kel::SParameterInfo info;
  kel::IProcessor* engine = describedParameterOf(index, &engineIndex, info);
  if (engine == nullptr) return;
  copyText(label, info.label);
}

void AGain::getParameterDisplay(VstInt32 index, char* text) {
  copyText(text, "");
  std::int32_t engineIndex = 0;
  kel::SParameterInfo info;
  kel::IProcessor* engine = describedParameterOf(index, &engineIndex, info);
  if (engine == nullptr) return;
  const std::int32_t value = engine->getParameter(engineIndex);

  // A value outside the list of names is shown as a number instead.
  if (info.displayType == kel::kDisplayNamedValues && info.valueNames != nullptr &&
      copyNamedValue(info.valueNames, value, text)) {
    return;
  }
  if (value == info.minimum && !isEmpty(info.minimumText)) {
    copyText(text, info.minimumText);
    return;
  }
  if (value == info.maximum && !isEmpty(info.maximumText)) {
    copyText(text, info.maximumText);
    return;
  }
  formatNumber(value, info.decimals, text);
}

bool AGain::canParameterBeAutomated(VstInt32) {
  return true;
}
