// Numbers as users write them in options and settings: in decimal digits.
// strtod and the option parser would also read "0x10" (sixteen), "" (zero)
// and "inf"; whoever typed those meant something else, so every numeric
// option and value goes through here and is refused with the reason.
#pragma once

#include <cstddef>
#include <string>

namespace plughost {

enum class NumberForm {
  whole,    // digits with an optional sign: "-12", "+3", "48000"
  decimal,  // also a fraction and an exponent: "0.5", ".5", "-6e-1"
};

// How many characters at the start of `text` make a number of `form`; 0 if
// none do. "-6dB" gives 2; "0x10" gives 1 (the "0"), so callers that need
// the whole text see that something follows.
std::size_t decimalPrefixLength(const std::string& text, NumberForm form);

// Reads all of `text` as a finite number of `form`. On failure `reason`
// completes a sentence about the text ("'0x10' is not ..."), already
// naming the text.
bool readNumber(const std::string& text, NumberForm form, double& value, std::string& reason);

}  // namespace plughost
