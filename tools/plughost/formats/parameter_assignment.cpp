#include "formats/parameter_assignment.h"

#include <cctype>
#include <cstdlib>

#include "support/number_text.h"

namespace plughost {
namespace {

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

bool parseParameterIndex(const std::string& text, int& index) {
  if (text.size() < 2 || text[0] != '#') return false;
  char* end = nullptr;
  const long n = std::strtol(text.c_str() + 1, &end, 10);
  if (*end != '\0' || n < 0 || n > 1000000) return false;
  index = static_cast<int>(n);
  return true;
}

bool parseParameterAssignment(const std::string& text, ParameterAssignment& assignment,
                              std::string& error) {
  const auto equals = text.find('=');
  const std::string name = equals == std::string::npos ? "" : trimmed(text.substr(0, equals));
  const std::string value = equals == std::string::npos ? "" : trimmed(text.substr(equals + 1));
  if (name.empty() || value.empty()) {
    error = "bad setting '" + text + "': expected NAME=VALUE, e.g. \"Gain=0.75\" or \"Gain=-6dB\"";
    return false;
  }
  ParameterAssignment result;
  if (name[0] == '#') {
    if (!parseParameterIndex(name, result.index)) {
      error = "bad setting '" + text + "': a parameter index is written #0, #1, ...";
      return false;
    }
  } else {
    result.name = name;
  }
  double number = 0.0;
  std::string notNumber;
  if (readNumber(value, NumberForm::decimal, number, notNumber) && number >= 0.0 && number <= 1.0) {
    result.value = static_cast<float>(number);
  } else {
    result.normalised = false;
    result.display = value;
  }
  assignment = result;
  return true;
}

bool sameParameterName(const std::string& a, const std::string& b) {
  const std::string x = trimmed(a);
  const std::string y = trimmed(b);
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(x[i])) !=
        std::tolower(static_cast<unsigned char>(y[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace plughost
