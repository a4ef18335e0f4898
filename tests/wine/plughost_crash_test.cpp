// Every way a plug-in can end plughost or unwind out of it, against every
// command that runs one: the test engine, scripted to overflow its stack,
// call ExitProcess, TerminateProcess or abort, or throw, must end each with
// one stderr line naming what happened and the call, status 5, nothing on
// stdout but the start of a streamed WAV that says its length is unknown,
// and no file left behind; validate must name it in the check that met it,
// on the thread that met it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "scratch_installation.h"

namespace {

using wine_test::binFolder;
using wine_test::ChildRun;

constexpr bool k64Bit = sizeof(void*) == 8;

// One way to end the process, as the test engine's script words and what
// plughost must call it.
struct Ending {
  const char* word;  // the script word; its fault comes in process
  const char* what;  // plughost's words for it
  // What validate's FAIL line says for it before " in ".
  const char* failure;
  // Thrown by the engine: the 64-bit bridge catches it before the host sees
  // it (a 32-bit engine's runtime cannot unwind into the bridge, so it ends
  // the process); plughost meets it only where it calls the engine itself,
  // and then, having unwound it into plughost's frames, knows only that
  // the engine threw it.
  bool caughtBy64BitBridge;
};
constexpr const char* kUnwoundThrow = "threw a C++ exception";

const Ending kEndings[] = {
    {"stack-overflow-in-process", "crashed (exception 0xC00000FD, stack overflow)",
     "crashed with exception 0xC00000FD (stack overflow)", false},
    {"exit-process-in-process", "called ExitProcess(0)", "the plug-in called ExitProcess(0)",
     false},
    {"terminate-process-in-process", "called TerminateProcess(0)",
     "the plug-in called TerminateProcess(0)", false},
    {"abort-in-process", "called abort()", "the plug-in called abort()", false},
    {"foreign-throw-in-process", "crashed (exception 0xE06D7363, C++ exception not caught)",
     "crashed with exception 0xE06D7363 (C++ exception)", false},
    {"throw-in-process", "threw a C++ exception (std::runtime_error: scripted failure)",
     "the plug-in threw a C++ exception (std::runtime_error: scripted failure)", true},
};

// The files of `folder` and its subfolders, by path below it.
void listFiles(const std::string& folder, const std::string& below,
               std::vector<std::string>& names) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + below + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      listFiles(folder, below + name + "\\", names);
    } else {
      names.push_back(below + name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

class PlughostCrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.ready());
    effect = scratch.addEffect("Ending", 0x456E6467, 0, 2);
    ASSERT_FALSE(effect.empty());
    CreateDirectoryA(outputs.c_str(), nullptr);
  }
  void TearDown() override { SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", nullptr); }

  // plughost.exe with `arguments`, the engine scripted with `script`; its
  // stdout and stderr land in a folder of the run's own.
  ChildRun plughost(const std::string& arguments, const std::string& script) {
    SetEnvironmentVariableA("KEL_TEST_ENGINE_SCRIPT", script.c_str());
    runFolder = folder + "run" + std::to_string(++runs) + "\\";
    EXPECT_TRUE(CreateDirectoryA(runFolder.c_str(), nullptr));
    const ChildRun run = wine_test::runProgram("plughost.exe", arguments, runFolder, 240000);
    EXPECT_TRUE(run.finished) << arguments;
    return run;
  }

  // Whatever a failed command may leave in the outputs' folder: nothing.
  std::vector<std::string> leftOver() const {
    std::vector<std::string> names;
    listFiles(outputs, "", names);
    return names;
  }

  static std::string quoted(const std::string& path) { return "\"" + path + "\""; }

  wine_test::ScratchInstallation scratch{"plughost-crash-test", "kel_test_engine.dll"};
  const std::string& folder = scratch.folder;
  const std::string outputs = folder + "outputs\\";
  std::string effect;
  std::string runFolder;
  int runs = 0;
};

// Every command that loads the plug-in (or, for install, its engine) meets
// each ending in its first call that reaches it.
TEST_F(PlughostCrashTest, EveryEndingGivesOneLineStatusFiveAndNoFile) {
  const std::string wav = outputs + "out.wav";
  const struct {
    const char* name;
    std::string arguments;
    const char* moment;  // the script word that moves the faults to activate, or ""
    const char* call;    // the call the line names; "" for install's engine check
  } commands[] = {
      {"render", "render " + quoted(effect) + " --generate sine --seconds 0.5 --out " + quoted(wav),
       "", "processReplacing"},
      {"render to stdout", "render " + quoted(effect) + " --generate sine --seconds 0.5 --out -",
       "", "processReplacing"},
      {"analyze",
       "analyze " + quoted(effect) + " --png " + quoted(outputs + "chart.png") + " --csv " +
           quoted(outputs + "curves.csv"),
       "", "processReplacing"},
      {"info", "info " + quoted(effect), "faults-on-activate", "main"},
      {"preset save",
       "preset save " + quoted(effect) + " " + quoted(outputs + "p.fxp") + " --set #0=0.5",
       "faults-on-activate", "main"},
      {"install",
       "install --plugin " + quoted(binFolder() + "kelbridge.dll") + " --dir " +
           quoted(outputs + "fx") + " --name Ending --guid " + scratch.guid +
           " --id Endg --process-index 0",
       "", ""},
  };
  for (const Ending& ending : kEndings) {
    for (const auto& command : commands) {
      const std::string label = std::string(command.name) + ", " + ending.word;
      const ChildRun run =
          plughost(command.arguments, std::string(ending.word) + " " + command.moment);
      const std::vector<std::string> left = leftOver();
      for (const std::string& name : left) DeleteFileA((outputs + name).c_str());
      if (k64Bit && ending.caughtBy64BitBridge && command.call[0]) {
        // Whatever the bridge makes of it, plughost says at most one line.
        EXPECT_GE(1, run.errLines()) << label << ": " << run.err;
        continue;
      }
      EXPECT_TRUE(left.empty()) << label << ": " << left.front();
      const std::string line =
          command.call[0]
              ? std::string("plughost: error: the plug-in ") + ending.what + " in " + command.call
              : std::string("plughost: error: 'kel_test_engine.dll' ") +
                    (k64Bit && ending.caughtBy64BitBridge ? kUnwoundThrow : ending.what) +
                    " outside any call into a plug-in";
      EXPECT_EQ(line + "\n", run.err) << label;
      EXPECT_EQ(5u, run.exitCode) << label;
      // The standard output holds nothing, or the start of the streamed WAV
      // whose header says that its length is unknown.
      const std::string out = wine_test::readBytes(runFolder + "stdout.txt");
      if (std::string(command.name) == "render to stdout" && !out.empty()) {
        EXPECT_EQ(std::string("RIFF\xFF\xFF\xFF\xFFWAVE", 12), out.substr(0, 12)) << label;
      } else {
        EXPECT_EQ("", out) << label;
      }
    }
  }
}

// validate runs each check in a process of its own: the ending is that
// check's failure, named with the call of the thread it happened on (the
// threads check's audio thread processes while its UI thread calls the
// dispatcher), and the other checks still run.
TEST_F(PlughostCrashTest, ValidateNamesTheEndingAndTheCallOfItsThread) {
  for (const Ending& ending : kEndings) {
    if (k64Bit && ending.caughtBy64BitBridge) continue;
    const ChildRun run =
        plughost("validate " + quoted(effect) +
                     " --level 1 --seed 3 --skip-editor --only audio,threads,texts",
                 ending.word);
    EXPECT_EQ(1u, run.exitCode) << ending.word << "\n" << run.out << run.err;
    EXPECT_EQ("plughost: error: 2 of 3 checks failed\n", run.err) << ending.word;
    for (const char* check : {"audio", "threads"}) {
      const std::size_t at = run.out.find(std::string("FAIL  ") + check + " ");
      ASSERT_NE(std::string::npos, at) << ending.word << "\n" << run.out;
      const std::string line = run.out.substr(at, run.out.find('\n', at) - at);
      const std::string call = std::string(check) == "threads"
                                   ? " in processReplacing(128 frames) on the audio thread"
                                   : " in processReplacing(";
      EXPECT_NE(std::string::npos, line.find(std::string(ending.failure) + call))
          << ending.word << ": " << line;
    }
    EXPECT_NE(std::string::npos, run.out.find("PASS  texts ")) << ending.word << "\n" << run.out;
  }
}

}  // namespace
