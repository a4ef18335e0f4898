// validate --engine and validate of several plug-ins, as a vendor's CI runs
// them: an engine build validated through a scratch installation that is gone
// afterwards (even when a check crashed) and never touches the registration
// of another installation; two builds of one engine at the same time in one
// prefix; several plug-ins in one run with one summary line each, a combined
// exit status and a JUnit report.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "scratch_installation.h"

namespace {

using wine_test::binFolder;
using wine_test::ChildRun;

// Subkeys of HKLM\Software\KEL whose PathName is `engine`.
std::vector<std::string> registrationsOf(const std::string& engine) {
  std::vector<std::string> found;
  HKEY kel = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\KEL", 0, KEY_READ, &kel) != ERROR_SUCCESS) {
    return found;
  }
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD size = sizeof name;
    if (RegEnumKeyExA(kel, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    if (lstrcmpiA(wine_test::enginePath(name).c_str(), engine.c_str()) == 0) found.push_back(name);
  }
  RegCloseKey(kel);
  return found;
}

// Folders plughost made in the Temp folder for scratch installations.
int scratchFolders() {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((std::string(temp) + "plughost-validate-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (FindNextFileA(search, &found));
  FindClose(search);
  return count;
}

class ValidateEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.ready());
    // Two builds of one engine, each in a folder of its own.
    for (const char* build : {"build-a", "build-b"}) {
      const std::string folder = scratch.folder + build;
      ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
      engines.push_back(folder + "\\engine.dll");
      ASSERT_TRUE(
          CopyFileA((binFolder() + "kel_demo_engine.dll").c_str(), engines.back().c_str(), FALSE));
    }
    SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", nullptr);
  }
  void TearDown() override { SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", nullptr); }

  ChildRun plughost(const std::string& arguments, const std::string& outputFolder) {
    const ChildRun run = wine_test::runProgram("plughost.exe", arguments, outputFolder, 240000);
    EXPECT_TRUE(run.finished) << arguments;
    return run;
  }

  wine_test::ScratchInstallation scratch{"validate-engine-test", "kel_demo_engine.dll"};
  std::vector<std::string> engines;
};

TEST_F(ValidateEngineTest, TwoBuildsValidateSideBySideAndLeaveNothingBehind) {
  // Another installation registered with build A: it stays as it is.
  ASSERT_TRUE(wine_test::setEnginePath(scratch.guid, engines[0]));
  const int foldersBefore = scratchFolders();
  ChildRun runs[2];
  std::thread second([&] {
    CreateDirectoryA((scratch.folder + "out-b").c_str(), nullptr);
    runs[1] = plughost("validate --engine \"" + engines[1] +
                           "\" --process-index 1 --only open,texts,parameters,state",
                       scratch.folder + "out-b\\");
  });
  runs[0] = plughost("validate --engine \"" + engines[0] +
                         "\" --process-index 1 --only open,texts,parameters,state",
                     scratch.folder);
  second.join();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(engines[i]);
    EXPECT_EQ(0u, runs[i].exitCode) << runs[i].out << runs[i].err;
    EXPECT_NE(std::string::npos,
              runs[i].out.find(engines[i] + ": 0 of 4 checks failed (level 1, seed "))
        << runs[i].out;
  }
  EXPECT_EQ(std::vector<std::string>{scratch.guid}, registrationsOf(engines[0]));
  EXPECT_TRUE(registrationsOf(engines[1]).empty());
  EXPECT_EQ(foldersBefore, scratchFolders());
}

TEST_F(ValidateEngineTest, ACheckThatCrashesStillLeavesNothingBehind) {
  const std::string engine = scratch.folder + "build-a\\test_engine.dll";
  ASSERT_TRUE(CopyFileA((binFolder() + "kel_test_engine.dll").c_str(), engine.c_str(), FALSE));
  const int foldersBefore = scratchFolders();
  SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", "standalone crash-in-set-parameter");
  const ChildRun run =
      plughost("validate --engine \"" + engine + "\" --only open,parameters", scratch.folder);
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_NE(std::string::npos, run.out.find("FAIL  parameters ")) << run.out;
  EXPECT_EQ("plughost: error: 1 of 2 checks failed\n", run.err);
  EXPECT_TRUE(registrationsOf(engine).empty());
  EXPECT_EQ(foldersBefore, scratchFolders());
}

TEST_F(ValidateEngineTest, EngineOptionsRefuseWhatCannotBeInstalled) {
  const struct {
    std::string arguments;
    std::string message;
  } cases[] = {
      {"--engine \"" + scratch.folder + "none.dll\"",
       "engine '" + scratch.folder + "none.dll' does not exist"},
      {"--engine \"" + binFolder() + "kelbridge.dll\"",
       "is not an engine library: it has no export \"kelMain\""},
      {"--engine \"" + engines[0] + "\" --channels-out 65", "channel counts must lie within 0..64"},
      {"--engine \"" + engines[0] + "\" --bridge \"" + engines[1] + "\"",
       "' is not the kelbridge plug-in"},
      {"--channels-in 1 \"" + binFolder() + "kelbridge.dll\"", "--channels-in requires --engine"},
  };
  const int foldersBefore = scratchFolders();
  for (const auto& c : cases) {
    const ChildRun run = plughost("validate " + c.arguments, scratch.folder);
    EXPECT_NE(0u, run.exitCode) << c.arguments;
    EXPECT_EQ(1, run.errLines()) << run.err;
    EXPECT_NE(std::string::npos, run.err.find(c.message)) << run.err;
    EXPECT_EQ("", run.out) << c.arguments;
  }
  EXPECT_TRUE(registrationsOf(engines[0]).empty());
  EXPECT_EQ(foldersBefore, scratchFolders());
}

TEST_F(ValidateEngineTest, SeveralPluginsGiveOneSummaryEachACombinedStatusAndOneJunitReport) {
  const std::string good = scratch.addEffect("Good", 11, 0);
  const std::string lost = scratch.folder + "Lost.dll";  // an effect whose engine is unknown
  ASSERT_FALSE(good.empty());
  ASSERT_TRUE(CopyFileA(good.c_str(), lost.c_str(), FALSE));
  ASSERT_TRUE(
      wine_test::writeBytes(scratch.folder + "Lost.ini",
                            "[KEL]\r\nGUID={00000000-0000-0000-0000-000000000000}\r\n"
                            "ChannelsIn=2\r\nChannelsOut=2\r\nID=12\r\n[VST]\r\nName=Lost\r\n"));
  const std::string junit = scratch.folder + "report.xml";
  const ChildRun both = plughost("validate \"" + good + "\" \"" + lost +
                                     "\" --only open,texts --seed 5 --junit \"" + junit + "\"",
                                 scratch.folder);
  EXPECT_EQ(1u, both.exitCode);
  EXPECT_NE(std::string::npos, both.out.find(good + ": 0 of 2 checks failed (level 1, seed 5)\n"))
      << both.out;
  EXPECT_NE(std::string::npos, both.out.find(lost + ": 1 of 2 checks failed (level 1, seed 5)\n"))
      << both.out;
  EXPECT_EQ("plughost: error: 1 of 2 plug-ins failed validation\n", both.err);
  const std::string xml = wine_test::readText(junit);
  EXPECT_NE(std::string::npos, xml.find("<testsuites name=\"plughost validate\" tests=\"4\" "
                                        "failures=\"1\" errors=\"0\" skipped=\"0\""))
      << xml;
  EXPECT_NE(std::string::npos,
            xml.find("<testsuite name=\"" + good + "\" tests=\"2\" failures=\"0\""))
      << xml;
  EXPECT_NE(std::string::npos, xml.find("<testcase classname=\"" + lost + "\" name=\"open\""))
      << xml;
  EXPECT_NE(std::string::npos, xml.find("<failure message=\"")) << xml;

  // All healthy: status 0; --json holds one plug-in's report only.
  EXPECT_EQ(
      0u,
      plughost("validate \"" + good + "\" \"" + good + "\" --only open", scratch.folder).exitCode);
  const ChildRun json =
      plughost("validate \"" + good + "\" \"" + good + "\" --json \"" + scratch.folder + "r.json\"",
               scratch.folder);
  EXPECT_EQ(2u, json.exitCode);
  EXPECT_EQ("plughost: error: --json: holds one plug-in's report: use --junit for several\n",
            json.err);
}

}  // namespace
