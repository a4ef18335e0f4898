#include "formats/automation_csv.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "formats/byte_file.h"
#include "support/number_text.h"

namespace plughost {
namespace {

// Longer than any render a WAV file can hold at the lowest rate.
constexpr double kMaxSeconds = 86400.0 * 50;

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

bool number(const std::string& text, double& value) {
  std::string reason;
  return readNumber(text, NumberForm::decimal, value, reason);
}

}  // namespace

bool parseAutomationCsv(const std::string& text, std::vector<AutomationPoint>& points,
                        std::string& error) {
  std::vector<AutomationPoint> result;
  std::size_t start = 0;
  for (int line = 1; start < text.size(); ++line) {
    auto end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string row = trimmed(text.substr(start, end - start));
    start = end + 1;
    if (row.empty() || row[0] == '#' || (line == 1 && row == "time,parameter,value")) continue;
    const auto comma1 = row.find(',');
    const auto comma2 = comma1 == std::string::npos ? comma1 : row.find(',', comma1 + 1);
    const auto where = "line " + std::to_string(line) + ": ";
    if (comma2 == std::string::npos || row.find(',', comma2 + 1) != std::string::npos) {
      error = where + "expected TIME,PARAMETER,VALUE, e.g. 0.5,Cutoff,0.25";
      return false;
    }
    AutomationPoint point;
    double value = 0.0;
    point.parameter = trimmed(row.substr(comma1 + 1, comma2 - comma1 - 1));
    if (!number(trimmed(row.substr(0, comma1)), point.seconds) || point.seconds < 0.0 ||
        point.seconds > kMaxSeconds) {
      error = where + "the time must be a number of seconds from 0";
      return false;
    }
    if (point.parameter.empty()) {
      error = where + "no parameter";
      return false;
    }
    if (!number(trimmed(row.substr(comma2 + 1)), value) || value < 0.0 || value > 1.0) {
      error = where + "the value must be a normalised number within 0..1";
      return false;
    }
    point.value = static_cast<float>(value);
    result.push_back(point);
  }
  std::stable_sort(
      result.begin(), result.end(),
      [](const AutomationPoint& a, const AutomationPoint& b) { return a.seconds < b.seconds; });
  points = std::move(result);
  return true;
}

bool readAutomationFile(const std::string& path, std::vector<AutomationPoint>& points,
                        std::string& error) {
  std::vector<std::uint8_t> bytes;
  if (!readFileBytes(path, bytes, error)) return false;
  if (parseAutomationCsv(std::string(bytes.begin(), bytes.end()), points, error)) return true;
  error = "automation '" + path + "' " + error;
  return false;
}

}  // namespace plughost
