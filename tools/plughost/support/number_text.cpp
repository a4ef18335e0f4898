#include "support/number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace plughost {
namespace {

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t digitsFrom(const std::string& text, std::size_t at) {
  std::size_t end = at;
  while (end < text.size() && isDigit(text[end])) ++end;
  return end - at;
}

}  // namespace

std::size_t decimalPrefixLength(const std::string& text, NumberForm form) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  const std::size_t integer = digitsFrom(text, at);
  at += integer;
  if (form == NumberForm::whole) return integer == 0 ? 0 : at;
  std::size_t fraction = 0;
  if (at < text.size() && text[at] == '.') {
    fraction = digitsFrom(text, at + 1);
    if (integer > 0 || fraction > 0) at += 1 + fraction;
  }
  if (integer == 0 && fraction == 0) return 0;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t exponent = at + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    const std::size_t digits = digitsFrom(text, exponent);
    if (digits > 0) at = exponent + digits;
  }
  return at;
}

bool readNumber(const std::string& text, NumberForm form, double& value, std::string& reason) {
  const std::string quoted = "'" + text + "'";
  if (text.empty()) {
    reason = "an empty value is not a number";
    return false;
  }
  const std::size_t decimal = decimalPrefixLength(text, NumberForm::decimal);
  if (decimal != text.size()) {
    const bool hexadecimal =
        decimal > 0 && (text[decimal] == 'x' || text[decimal] == 'X') && text[decimal - 1] == '0';
    std::string word;  // what follows a sign, in lower case: "inf", "nan"
    for (std::size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0; i < text.size(); ++i) {
      word += static_cast<char>(text[i] >= 'A' && text[i] <= 'Z' ? text[i] - 'A' + 'a' : text[i]);
    }
    if (hexadecimal) {
      reason = quoted + " is not a decimal number (hexadecimal is not read)";
    } else if (decimal == 0 && (word == "inf" || word == "infinity" || word == "nan")) {
      reason = quoted + " is not a finite number";
    } else {
      reason = quoted + " is not a number";
    }
    return false;
  }
  const double number = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(number)) {
    reason = quoted + " is too large";
    return false;
  }
  if (form == NumberForm::whole && decimalPrefixLength(text, NumberForm::whole) != text.size()) {
    if (number == std::floor(number) && std::fabs(number) < 1e15) {
      char digits[32];
      std::snprintf(digits, sizeof digits, "%.0f", number);
      reason = quoted + " is not written in whole digits: write " + digits;
    } else {
      reason = quoted + " is not a whole number";
    }
    return false;
  }
  value = number;
  return true;
}

}  // namespace plughost
