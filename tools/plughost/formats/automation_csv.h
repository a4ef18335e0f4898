// Parameter automation from a CSV text: one point per line,
//   time in seconds, parameter (name or #index), normalised value 0..1
// e.g. "0.5,Cutoff,0.25". Blank lines, lines starting with '#' and a first
// line "time,parameter,value" are skipped; fields may be padded with spaces.
#pragma once

#include <string>
#include <vector>

namespace plughost {

struct AutomationPoint {
  double seconds = 0.0;
  std::string parameter;  // a name, or "#N"
  float value = 0.0f;
};

// Points in time order (equal times keep the file's order). False with a
// one-line reason naming the line in `error` for anything malformed.
bool parseAutomationCsv(const std::string& text, std::vector<AutomationPoint>& points,
                        std::string& error);
bool readAutomationFile(const std::string& path, std::vector<AutomationPoint>& points,
                        std::string& error);

}  // namespace plughost
