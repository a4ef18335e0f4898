// The --junit report: JUnit XML as CI servers read it. One <testsuite> per
// validated plug-in, one <testcase> per check with its time, a <failure> with
// every failure text, or <skipped> with the reason.
#pragma once

#include <string>
#include <vector>

#include "validate/check_result.h"
#include "validate/json_report.h"

namespace plughost {

struct ValidatedPlugin {
  RunSettings settings;  // settings.plugin: the name the suite carries
  std::vector<CheckResult> results;
};

// The whole document, UTF-8. Texts from plug-ins (parameter names, say) that
// are not valid UTF-8, and control characters XML cannot hold, come out as
// '?', so the document always parses.
std::string junitReport(const std::vector<ValidatedPlugin>& plugins);

}  // namespace plughost
