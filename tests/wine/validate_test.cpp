// Runs plughost.exe validate as a vendor would: against the test engine
// scripted to misbehave, each fault must be caught by the check that names
// it; against bad files it must end with one line and status 1.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "scratch_installation.h"

namespace {

using wine_test::binFolder;
using wine_test::ChildRun;
using wine_test::readText;

// The test engine under a GUID of this test alone, and one effect of it.
class ValidateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.ready());
    plugin = scratch.addEffect("TestFx", 1, 0);
    ASSERT_FALSE(plugin.empty());
  }

  void TearDown() override { SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", nullptr); }

  // plughost.exe with `arguments`; the engine misbehaves as `script` says.
  ChildRun plughost(const std::string& arguments, const std::string& script = "") {
    SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", script.empty() ? nullptr : script.c_str());
    const ChildRun run = wine_test::runProgram("plughost.exe", arguments, folder, 240000);
    EXPECT_TRUE(run.finished) << arguments;
    return run;
  }

  // The result line of `check`, or "".
  static std::string lineOf(const std::string& out, const std::string& check) {
    for (const char* verdict : {"PASS  ", "FAIL  ", "SKIP  "}) {
      const std::size_t at = out.find(verdict + check + " ");
      if (at != std::string::npos) return out.substr(at, out.find('\n', at) - at);
    }
    return "";
  }

  wine_test::ScratchInstallation scratch{"validate-test", "kel_test_engine.dll"};
  const std::string& folder = scratch.folder;
  std::string plugin;
};

struct FaultCase {
  const char* script;  // the test engine's misbehaviours
  const char* only;    // the checks run
  int timeoutMs;       // short only where a hang is the fault: a loaded machine is slow
  // Per check: the text its FAIL line must contain.
  std::vector<std::pair<const char*, const char*>> caught;
};

// Faults that do not disturb each other's checks share a run. A crash is
// named by its exception code, which depends on the machine (under an
// emulated Wine a bad store may arrive as an illegal instruction).
const FaultCase kFaultCases[] = {
    {"nan-output state-not-restored",
     "audio,state",
     60000,
     {{"audio", "output is not finite (silence, 8000 Hz, 1-frame blocks)"},
      {"state", "state not restored: parameter 0 is "}}},
    {"growing-output state-resaved-differently value-out-of-range",
     "parameters,state,automation",
     60000,
     {{"parameters", "parameter 0: getParameter answers 1.5 after setParameter(0), outside 0..1"},
      {"state",
       "the state saved again after a restore differs from the one restored (8 bytes, "
       "then 8; first difference at byte 4)"},
      {"automation", "beyond the +36 dBFS bound (noise with automated parameters)"}}},
    {"crash-on-one-frame ignores-set-parameter leak-per-instance",
     "audio,parameters,lifecycle",
     60000,
     {{"audio", ") in processReplacing(1 frames)"},
      {"parameters", "parameter 0 ignores setParameter: getParameter answers 0 after both"},
      {"lifecycle", "memory grows by "}}},
    {"write-past-block crash-in-set-parameter",
     "audio,parameters",
     60000,
     {{"audio",
       "the effect wrote output channel 0 at frame 1 of a 1-frame block (silence, "
       "8000 Hz, 1-frame blocks)"},
      {"parameters", ") in setParameter(0, 0)"}}},
    {"hang-in-set-chunk",
     "state",
     3000,
     {{"state", "timed out after 5000 ms in dispatcher(effSetChunk, index 0, value 4, ptr "}}},
};

TEST_F(ValidateTest, EachFaultIsCaughtByTheCheckThatNamesIt) {
  for (const FaultCase& fault : kFaultCases) {
    const ChildRun run = plughost("validate \"" + plugin + "\" --level 1 --seed 7 --timeout-ms " +
                                      std::to_string(fault.timeoutMs) + " --only " + fault.only,
                                  fault.script);
    EXPECT_EQ(1u, run.exitCode) << fault.script << "\n" << run.out << run.err;
    EXPECT_EQ(1, run.errLines()) << run.err;
    for (const auto& caught : fault.caught) {
      const std::string line = lineOf(run.out, caught.first);
      if (std::string(caught.second).find(") in ") == 0) {
        EXPECT_NE(std::string::npos, line.find("crashed with exception 0xC")) << line;
      }
      EXPECT_EQ(0u, line.find("FAIL  ")) << fault.script << ": " << caught.first << "\n" << run.out;
      EXPECT_NE(std::string::npos, line.find(caught.second))
          << fault.script << ": " << caught.first << "\n"
          << run.out;
    }
  }
}

TEST_F(ValidateTest, AWellBehavedEngineAndItsReportPass) {
  const std::string json = folder + "report.json";
  const ChildRun run =
      plughost("validate \"" + plugin +
               "\" --level 1 --seed 42 --only open,texts,parameters,state --json \"" + json + "\"");
  EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_EQ("", run.err);
  for (const char* check : {"open", "texts", "parameters", "state"}) {
    EXPECT_EQ(0u, lineOf(run.out, check).find("PASS  ")) << check << "\n" << run.out;
  }
  const std::string report = readText(json);
  EXPECT_NE(std::string::npos, report.find("\"seed\": 42,")) << report;
  EXPECT_NE(std::string::npos, report.find("\"passed\": true,")) << report;
  EXPECT_NE(std::string::npos, report.find("{\"name\": \"state\", \"result\": \"PASS\"")) << report;
}

TEST_F(ValidateTest, BadFilesEndWithOneLineAndStatusOne) {
  struct Case {
    std::string arguments;
    DWORD status;
    std::string error;
  };
  const std::string missing = folder + "Missing.dll";
  const std::string engine = binFolder() + "kel_test_engine.dll";
  const Case cases[] = {
      {"validate \"" + missing + "\"", 1,
       "plughost: error: plug-in '" + missing + "' does not exist\n"},
      {"validate \"" + folder + "TestFx.ini\"", 1,
       "plughost: error: '" + folder + "TestFx.ini' is not a Windows DLL\n"},
      {"validate \"" + engine + "\" --only open", 1,
       "plughost: error: '" + engine + "' is not a VST 2 plug-in: it has no export \"main\"\n"},
      {"validate \"" + plugin + "\" --level 11", 2, ""},
      {"validate \"" + plugin + "\" --only open,sound", 2,
       "plughost: error: --only: unknown check 'sound' (checks: open, texts, parameters, state, "
       "audio, automation, midi, threads, editor, lifecycle, fuzz)\n"},
  };
  for (const Case& c : cases) {
    const ChildRun run = plughost(c.arguments);
    EXPECT_EQ(c.status, run.exitCode) << c.arguments << "\n" << run.err;
    EXPECT_EQ(1, run.errLines()) << c.arguments << "\n" << run.err;
    if (!c.error.empty()) {
      EXPECT_EQ(c.error, run.err) << c.arguments;
    }
  }
}

}  // namespace
