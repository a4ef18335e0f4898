// The --json report: the run's settings and every check's result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "validate/check_result.h"

namespace plughost {

struct RunSettings {
  std::string plugin;
  int level = 1;
  std::uint32_t seed = 0;
  int timeoutMs = 0;
};

std::string jsonReport(const RunSettings& settings, const std::vector<CheckResult>& results);

}  // namespace plughost
