#include "parameter_assignment.h"

#include <cctype>
#include <cstdlib>

namespace plughost {
namespace {

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

}  // namespace

bool parseParameterAssignment(const std::string& text, ParameterAssignment& assignment,
                              std::string& error) {
  const auto equals = text.rfind('=');
  const std::string name = equals == std::string::npos ? "" : trimmed(text.substr(0, equals));
  const std::string value = equals == std::string::npos ? "" : trimmed(text.substr(equals + 1));
  char* end = nullptr;
  const double number = value.empty() ? 0.0 : std::strtod(value.c_str(), &end);
  if (name.empty() || value.empty() || *end != '\0') {
    error = "bad setting '" + text + "': expected NAME=VALUE, e.g. \"Gain=0.75\"";
    return false;
  }
  if (!(number >= 0.0 && number <= 1.0)) {
    error = "bad setting '" + text + "': the value is normalised and must lie within 0..1";
    return false;
  }
  assignment.name = name;
  assignment.value = static_cast<float>(number);
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
