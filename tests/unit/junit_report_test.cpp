// validate's JUnit report: the exact document for a run of two plug-ins, with
// texts that XML must escape or cannot hold.
#include <gtest/gtest.h>

#include "validate/junit_report.h"

namespace {

using plughost::CheckResult;
using plughost::Verdict;

CheckResult result(const char* name, Verdict verdict, double seconds) {
  CheckResult r;
  r.name = name;
  r.verdict = verdict;
  r.seconds = seconds;
  return r;
}

TEST(JunitReport, OneSuitePerPluginOneCasePerCheckWithTimesAndEveryFailureText) {
  CheckResult crashed = result("parameters", Verdict::Fail, 1.25);
  // A plug-in's own texts: markup, a control character, a byte that is no
  // UTF-8 and one that is.
  crashed.failures = {"parameter \"Q<1>\" & 'x'\x01 crashed", "also \xFF caf\xC3\xA9"};
  crashed.warnings = {"subnormal output"};
  crashed.lastCall = "setParameter(0, 0)";
  CheckResult skipped = result("editor", Verdict::Skip, 0.0);
  skipped.skipReason = "--skip-editor";
  std::vector<plughost::ValidatedPlugin> plugins(2);
  plugins[0].settings = {"A&B.dll", 1, 7, 20000};
  plugins[0].results = {result("open", Verdict::Pass, 0.3104), crashed, skipped};
  plugins[1].settings = {"C.dll", 5, 8, 100};
  plugins[1].results = {result("open", Verdict::Pass, -1.0)};

  EXPECT_EQ(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<testsuites name=\"plughost validate\" tests=\"4\" failures=\"1\" errors=\"0\" "
      "skipped=\"1\" time=\"1.560\">\n"
      "  <testsuite name=\"A&amp;B.dll\" tests=\"3\" failures=\"1\" errors=\"0\" skipped=\"1\" "
      "time=\"1.560\">\n"
      "    <properties>\n"
      "      <property name=\"level\" value=\"1\"/>\n"
      "      <property name=\"seed\" value=\"7\"/>\n"
      "      <property name=\"timeout_ms\" value=\"20000\"/>\n"
      "    </properties>\n"
      "    <testcase classname=\"A&amp;B.dll\" name=\"open\" time=\"0.310\"/>\n"
      "    <testcase classname=\"A&amp;B.dll\" name=\"parameters\" time=\"1.250\">\n"
      "      <failure message=\"parameter &quot;Q&lt;1&gt;&quot; &amp; &apos;x&apos;? crashed\">"
      "parameter &quot;Q&lt;1&gt;&quot; &amp; &apos;x&apos;? crashed\n"
      "also ? caf\xC3\xA9\n"
      "warning: subnormal output\n"
      "last call: setParameter(0, 0)\n"
      "</failure>\n"
      "    </testcase>\n"
      "    <testcase classname=\"A&amp;B.dll\" name=\"editor\" time=\"0.000\">\n"
      "      <skipped message=\"--skip-editor\"/>\n"
      "    </testcase>\n"
      "  </testsuite>\n"
      "  <testsuite name=\"C.dll\" tests=\"1\" failures=\"0\" errors=\"0\" skipped=\"0\" "
      "time=\"0.000\">\n"
      "    <properties>\n"
      "      <property name=\"level\" value=\"5\"/>\n"
      "      <property name=\"seed\" value=\"8\"/>\n"
      "      <property name=\"timeout_ms\" value=\"100\"/>\n"
      "    </properties>\n"
      "    <testcase classname=\"C.dll\" name=\"open\" time=\"0.000\"/>\n"
      "  </testsuite>\n"
      "</testsuites>\n",
      plughost::junitReport(plugins));
}

// Truncated and overlong UTF-8 sequences and surrogates are no characters.
TEST(JunitReport, BrokenUtf8BecomesQuestionMarks) {
  std::vector<plughost::ValidatedPlugin> plugins(1);
  plugins[0].results = {result("x", Verdict::Skip, 0.0)};
  const struct {
    const char* bytes;
    const char* shown;
  } cases[] = {
      {"\xC3", "?"},
      {"\xC0\xAF", "??"},
      {"\xED\xA0\x80", "???"},
      {"\xF4\x90\x80\x80", "????"},
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},
      {"\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
  };
  for (const auto& c : cases) {
    plugins[0].results[0].skipReason = std::string("[") + c.bytes + "]";
    const std::string xml = plughost::junitReport(plugins);
    EXPECT_NE(std::string::npos, xml.find(std::string("<skipped message=\"[") + c.shown + "]\"/>"))
        << c.shown;
  }
}

}  // namespace
