#include "validate/json_report.h"

#include <cmath>

#include "validate/check_context.h"

namespace plughost {
namespace {

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      out += format("\\u%04x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string list(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (std::size_t i = 0; i < texts.size(); ++i) out += (i ? ", " : "") + quoted(texts[i]);
  return out + "]";
}

std::string number(double value) {
  return std::isfinite(value) ? format("%.6g", value) : "null";
}

}  // namespace

std::string jsonReport(const RunSettings& settings, const std::vector<CheckResult>& results) {
  bool passed = true;
  for (const CheckResult& r : results) passed = passed && r.verdict != Verdict::Fail;
  std::string out = "{\n";
  out += "  \"plugin\": " + quoted(settings.plugin) + ",\n";
  out += format("  \"level\": %d,\n  \"seed\": %u,\n  \"timeout_ms\": %d,\n", settings.level,
                settings.seed, settings.timeoutMs);
  out += std::string("  \"passed\": ") + (passed ? "true" : "false") + ",\n";
  out += "  \"checks\": [";
  for (std::size_t i = 0; i < results.size(); ++i) {
    const CheckResult& r = results[i];
    out += i ? ",\n    {" : "\n    {";
    out += "\"name\": " + quoted(r.name) + ", \"result\": " + quoted(verdictName(r.verdict));
    out += ", \"seconds\": " + number(r.seconds);
    out += ", \"failures\": " + list(r.failures) + ", \"notes\": " + list(r.notes);
    if (!r.warnings.empty()) out += ", \"warnings\": " + list(r.warnings);
    if (r.verdict == Verdict::Skip) out += ", \"skip_reason\": " + quoted(r.skipReason);
    if (r.exceptionCode) out += format(", \"exception_code\": \"0x%08X\"", r.exceptionCode);
    if (r.timedOut) out += ", \"timed_out\": true";
    if (!r.lastCall.empty()) out += ", \"last_call\": " + quoted(r.lastCall);
    out += ", \"figures\": {";
    for (std::size_t f = 0; f < r.figures.size(); ++f) {
      out += (f ? ", " : "") + quoted(r.figures[f].first) + ": " + number(r.figures[f].second);
    }
    out += "}}";
  }
  out += "\n  ]\n}\n";
  return out;
}

}  // namespace plughost
