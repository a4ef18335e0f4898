#include "validate/check_result.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "validate/check_context.h"

namespace plughost {

const char* verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return "PASS";
    case Verdict::Fail:
      return "FAIL";
    case Verdict::Skip:
      return "SKIP";
  }
  return "?";
}

const char* exceptionName(std::uint32_t code) {
  switch (code) {
    case 0xC0000005u:
      return "access violation";
    case 0xC00000FDu:
      return "stack overflow";
    case 0xC0000094u:
      return "integer division by zero";
    case 0xC000001Du:
      return "illegal instruction";
    case 0xC0000409u:
      return "stack buffer overrun";
    case 0xC0000374u:
      return "heap corruption";
    case 0xC0000017u:
      return "out of memory";
    case 0xE06D7363u:
      return "C++ exception";
    default:
      return "";
  }
}

namespace {

void addFigure(CheckResult& result, const std::string& name, double value) {
  for (auto& figure : result.figures) {
    if (figure.first == name) {
      figure.second += value;
      return;
    }
  }
  result.figures.emplace_back(name, value);
}

}  // namespace

double figure(const CheckResult& result, const std::string& name) {
  for (const auto& figure : result.figures) {
    if (figure.first == name) return figure.second;
  }
  return 0.0;
}

void addOutcome(CheckResult& result, const ChildOutcome& outcome, int timeoutMs) {
  std::istringstream lines(outcome.results);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string text = space == std::string::npos ? "" : line.substr(space + 1);
    if (kind == "FAIL") {
      result.failures.push_back(text);
    } else if (kind == "WARN") {
      result.warnings.push_back(text);
    } else if (kind == "NOTE") {
      result.notes.push_back(text);
    } else if (kind == "SKIP") {
      result.skipReason = text;
    } else if (kind == "FIGURE") {
      const std::size_t split = text.find(' ');
      if (split != std::string::npos) {
        addFigure(result, text.substr(0, split), std::atof(text.c_str() + split + 1));
      }
    }
  }
  const std::string in = outcome.lastCall.empty() ? "" : " in " + outcome.lastCall;
  if (!outcome.started) {
    result.failures.push_back("cannot start the child process (" + outcome.startError + ")");
  } else if (outcome.timedOut) {
    result.timedOut = true;
    result.lastCall = outcome.lastCall;
    std::string text = format("timed out after %d ms%s", timeoutMs, in.c_str());
    if (!outcome.dialog.empty()) text += "; a dialog nobody answers was open: " + outcome.dialog;
    for (char& c : text) {
      if (c == '\n' || c == '\r') c = ' ';
    }
    result.failures.insert(result.failures.begin(), text);
  } else if (outcome.exitCode >= kFirstExceptionCode) {
    result.exceptionCode = outcome.exitCode;
    result.lastCall = outcome.lastCall;
    const std::string name = exceptionName(outcome.exitCode);
    result.failures.insert(result.failures.begin(),
                           format("crashed with exception 0x%08X%s%s%s", outcome.exitCode,
                                  name.empty() ? "" : " (", name.c_str(), name.empty() ? "" : ")") +
                               in);
  } else if (!outcome.ending.empty()) {
    // The plug-in ended the process itself: ExitProcess, abort, a C++
    // exception nobody caught.
    result.lastCall = outcome.lastCall;
    result.failures.insert(result.failures.begin(), "the plug-in " + outcome.ending + in);
  } else if (outcome.exitCode != 0) {
    result.lastCall = outcome.lastCall;
    result.failures.insert(result.failures.begin(),
                           format("the process ended with exit code %u", outcome.exitCode) + in);
  }
  if (!result.failures.empty()) {
    result.verdict = Verdict::Fail;
  } else if (!result.skipReason.empty()) {
    result.verdict = Verdict::Skip;
  }
}

void treatWarningsAsFailures(CheckResult& result) {
  for (const std::string& warning : result.warnings) {
    result.failures.push_back(warning + " (a failure under --strict)");
  }
  result.warnings.clear();
  if (!result.failures.empty()) result.verdict = Verdict::Fail;
}

CheckResult notRun(const std::string& name, const std::string& reason) {
  CheckResult result;
  result.name = name;
  result.verdict = Verdict::Skip;
  result.skipReason = "not run: " + reason;
  return result;
}

std::string resultLine(const CheckResult& result) {
  std::string line =
      format("%s  %-10s %6.2f s", verdictName(result.verdict), result.name.c_str(), result.seconds);
  if (result.verdict == Verdict::Fail) line += "  " + result.failures.front();
  if (result.verdict == Verdict::Skip) line += "  " + result.skipReason;
  return line;
}

}  // namespace plughost
