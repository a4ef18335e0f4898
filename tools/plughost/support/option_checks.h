// Checks of option values that give the user one short line of their own.
#pragma once

#include <CLI/CLI.hpp>

#include <cmath>
#include <string>

namespace plughost {

// A finite number of seconds above 0; the parser puts the option's name
// before the reason.
inline CLI::Validator positiveSeconds() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double seconds = 0.0;
        if (!CLI::detail::lexical_cast(text, seconds)) return "'" + text + "' is not a number";
        if (!std::isfinite(seconds)) return "'" + text + "' is not a finite number of seconds";
        if (seconds <= 0.0) return "must be above 0, not " + text;
        return "";
      },
      "SECONDS>0");
}

// A finite number: CLI::Range lets NaN through, as every comparison with it
// is false.
inline CLI::Validator finiteNumber() {
  return CLI::Validator(
      [](std::string& text) -> std::string {
        double value = 0.0;
        if (!CLI::detail::lexical_cast(text, value)) return "'" + text + "' is not a number";
        if (!std::isfinite(value)) return "'" + text + "' is not a finite number";
        return "";
      },
      "NUMBER");
}

}  // namespace plughost
