// "Name=0.75" settings from the command line: a parameter name, matched
// without regard to case, and a normalised value from 0 to 1.
#pragma once

#include <string>

namespace plughost {

struct ParameterAssignment {
  std::string name;
  float value = 0.0f;
};

// False with a one-line reason in `error` for a malformed text or a value
// outside 0..1.
bool parseParameterAssignment(const std::string& text, ParameterAssignment& assignment,
                              std::string& error);
// ASCII case-insensitive equality, ignoring leading and trailing spaces.
bool sameParameterName(const std::string& a, const std::string& b);

}  // namespace plughost
