#include "validate/junit_report.h"

#include <cmath>

#include "validate/check_context.h"

namespace plughost {
namespace {

// Length of the valid UTF-8 sequence starting at `text[at]`, or 0.
std::size_t utf8Length(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned minimum = 0;
  unsigned code = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, code = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, code = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, code = lead & 0x07u;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(at + i) & 0x3Fu);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code >= minimum && code <= 0x10FFFF && !surrogate ? length : 0;
}

std::string escaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '\t':
      case '\n':
        out += static_cast<char>(c);
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += '?';
        } else if (c < 0x80) {
          out += static_cast<char>(c);
        } else if (const std::size_t length = utf8Length(text, i)) {
          out.append(text, i, length);
          i += length - 1;
        } else {
          out += '?';
        }
    }
  }
  return out;
}

std::string seconds(double value) {
  return format("%.3f", std::isfinite(value) && value > 0.0 ? value : 0.0);
}

// The failure element's text: every failure, then under --strict the
// warnings that made it one, the call a crash or hang happened in, and notes.
std::string failureText(const CheckResult& r) {
  std::string text;
  for (const std::string& failure : r.failures) text += failure + "\n";
  for (const std::string& warning : r.warnings) text += "warning: " + warning + "\n";
  if (!r.lastCall.empty()) text += "last call: " + r.lastCall + "\n";
  for (const std::string& note : r.notes) text += "note: " + note + "\n";
  return text;
}

struct Counts {
  int tests = 0;
  int failures = 0;
  int skipped = 0;
  double seconds = 0.0;
  void add(const CheckResult& r) {
    ++tests;
    failures += r.verdict == Verdict::Fail;
    skipped += r.verdict == Verdict::Skip;
    if (std::isfinite(r.seconds) && r.seconds > 0.0) seconds += r.seconds;
  }
};

std::string countAttributes(const Counts& counts) {
  return format(" tests=\"%d\" failures=\"%d\" errors=\"0\" skipped=\"%d\" time=\"%s\"",
                counts.tests, counts.failures, counts.skipped, seconds(counts.seconds).c_str());
}

}  // namespace

std::string junitReport(const std::vector<ValidatedPlugin>& plugins) {
  Counts all;
  std::string suites;
  for (const ValidatedPlugin& plugin : plugins) {
    Counts counts;
    std::string cases;
    const std::string suite = escaped(plugin.settings.plugin);
    for (const CheckResult& r : plugin.results) {
      counts.add(r);
      all.add(r);
      cases += "    <testcase classname=\"" + suite + "\" name=\"" + escaped(r.name) +
               "\" time=\"" + seconds(r.seconds) + "\"";
      if (r.verdict == Verdict::Fail) {
        const std::string headline = r.failures.empty() ? "failed" : r.failures.front();
        cases += ">\n      <failure message=\"" + escaped(headline) + "\">" +
                 escaped(failureText(r)) + "</failure>\n    </testcase>\n";
      } else if (r.verdict == Verdict::Skip) {
        cases += ">\n      <skipped message=\"" + escaped(r.skipReason) + "\"/>\n    </testcase>\n";
      } else {
        cases += "/>\n";
      }
    }
    suites += "  <testsuite name=\"" + suite + "\"" + countAttributes(counts) + ">\n";
    suites += format(
        "    <properties>\n"
        "      <property name=\"level\" value=\"%d\"/>\n"
        "      <property name=\"seed\" value=\"%u\"/>\n"
        "      <property name=\"timeout_ms\" value=\"%d\"/>\n"
        "    </properties>\n",
        plugin.settings.level, plugin.settings.seed, plugin.settings.timeoutMs);
    suites += cases + "  </testsuite>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"plughost validate\"" +
         countAttributes(all) + ">\n" + suites + "</testsuites>\n";
}

}  // namespace plughost
