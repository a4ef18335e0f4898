// The outcome of one check as the validator reports it, built from what its
// child process wrote or from how the child ended.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "validate/child_runner.h"

namespace plughost {

enum class Verdict { Pass, Fail, Skip };
const char* verdictName(Verdict verdict);

struct CheckResult {
  std::string name;
  Verdict verdict = Verdict::Pass;
  double seconds = 0.0;
  std::vector<std::string> failures;  // first one is the headline
  std::vector<std::string> notes;
  std::vector<std::string> warnings;  // failures only under --strict
  std::string skipReason;
  std::vector<std::pair<std::string, double>> figures;
  std::uint32_t exceptionCode = 0;  // non-zero when the child crashed
  bool timedOut = false;
  std::string lastCall;  // set for crashes and hangs
};

// Reads the child's result lines and its way of ending into `result`,
// adding to what earlier children of the same check reported.
void addOutcome(CheckResult& result, const ChildOutcome& outcome, int timeoutMs);

// --strict: every warning becomes a failure.
void treatWarningsAsFailures(CheckResult& result);

// A check that did not run because an earlier one showed it cannot.
CheckResult notRun(const std::string& name, const std::string& reason);

// "access violation" for 0xC0000005 and the other common codes, else "".
const char* exceptionName(std::uint32_t code);

// The one-line summary: "PASS  open        0.31 s" plus the headline.
std::string resultLine(const CheckResult& result);

// The figure `name` summed over children, or 0.
double figure(const CheckResult& result, const std::string& name);

}  // namespace plughost
