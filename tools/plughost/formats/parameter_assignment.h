// "Name=value" settings from the command line. The parameter is named
// (matched without regard to case) or given by index as "#2"; the value is
// normalised (a plain number from 0 to 1) or a display text for the plug-in
// to match ("-6dB", "Highpass"; "1.5 kHz" is 1500 when the label is "Hz",
// other prefixes are not converted).
#pragma once

#include <string>

namespace plughost {

struct ParameterAssignment {
  std::string name;        // empty when given by index
  int index = -1;          // "#N", or -1
  bool normalised = true;  // a plain number within 0..1
  float value = 0.0f;      // the normalised value
  std::string display;     // otherwise the display text to find
};

// "#N" with N a decimal index from 0 (a bare "#" is none); true with
// `index` set.
bool parseParameterIndex(const std::string& text, int& index);
// False with a one-line reason in `error` for a malformed text.
bool parseParameterAssignment(const std::string& text, ParameterAssignment& assignment,
                              std::string& error);
// ASCII case-insensitive equality, ignoring leading and trailing spaces.
bool sameParameterName(const std::string& a, const std::string& b);

}  // namespace plughost
