// Checks of option values that give the user one short line of their own.
// Every numeric option carries wholeNumber() or decimalNumber() as its first
// check, so that a range check after it sees only a number written in
// decimal digits: the parser itself would read "" as 0 and "0x10" as 16.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "support/number_text.h"

namespace plughost {

// A whole number in decimal digits.
inline CLI::Validator wholeNumber() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0.0;
        std::string reason;
        return readNumber(text, NumberForm::whole, value, reason) ? std::string() : reason;
      },
      "INTEGER");
}

// A finite number in decimal digits: CLI::Range lets NaN through, as every
// comparison with it is false.
inline CLI::Validator decimalNumber() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0.0;
        std::string reason;
        return readNumber(text, NumberForm::decimal, value, reason) ? std::string() : reason;
      },
      "NUMBER");
}

// A finite number of seconds above 0; the parser puts the option's name
// before the reason.
inline CLI::Validator positiveSeconds() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double seconds = 0.0;
        std::string reason;
        if (!readNumber(text, NumberForm::decimal, seconds, reason)) return reason;
        if (seconds <= 0.0) return "must be above 0, not " + text;
        return "";
      },
      "SECONDS>0");
}

}  // namespace plughost
