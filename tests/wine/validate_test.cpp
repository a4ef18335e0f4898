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
  const char* options = "";  // more options of the run
};

// Faults that do not disturb each other's checks share a run. A crash is
// named by its exception code, which depends on the machine (under an
// emulated Wine a bad store may arrive as an illegal instruction).
const FaultCase kFaultCases[] = {
    {"nan-output state-not-restored",
     "audio,state",
     60000,
     {{"audio", "output is not finite (silence, 8000 Hz, 1-frame blocks)"},
      {"state", "state not restored: parameter 0 (Gain) is "}}},
    {"growing-output state-resaved-differently value-out-of-range",
     "parameters,state,automation",
     60000,
     {{"parameters", "parameter 0: getParameter answers 1.5 after setParameter(0), outside 0..1"},
      {"state",
       "a second save of the unchanged instance differs from the first save (8 bytes, then 8; "
       "first difference at byte 4)"},
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
    // Real-time findings are warnings at level 1: --strict makes them fail.
    {"save-counter heap-allocate-in-process",
     "state,realtime",
     60000,
     {{"state",
       "a second save of the unchanged instance differs from the first save (8 bytes, then 8; "
       "first difference at byte 4)"},
      {"realtime",
       "in 300 processing calls: 600 heap allocations or frees, 0 waits or locks, 0 file or "
       "console I/O calls; the first: HeapAlloc (a heap allocation or free) called by "
       "kel_test_engine.dll (a failure under --strict)"}},
     "--strict"},
    {"allocate-in-process",
     "realtime",
     60000,
     {{"realtime", "the first: malloc (a heap allocation or free) called by kel_test_engine.dll"}},
     "--strict"},
    {"lock-in-process",
     "realtime",
     60000,
     {{"realtime",
       "0 heap allocations or frees, 300 waits or locks, 0 file or console I/O calls; the first: "
       "EnterCriticalSection (a wait or lock) called by kel_test_engine.dll"}},
     "--strict"},
    {"unwritten-output",
     "audio",
     60000,
     {{"audio",
       "processReplacing never wrote output channel 1 of a 1-frame block (silence, 8000 Hz, "
       "1-frame blocks)"}}},
    {"crash-off-opening-thread", "automation", 60000, {{"automation", ") in setParameter(0, "}}},
    {"slow-process", "cpu,audio", 60000, {{"cpu", "slower than real time: "}}},
    // The same sound whatever the host does: each fault misplaces the
    // one-pole filter's memory, and the check that names it hears it.
    {"block-state-lost",
     "consistency",
     60000,
     {{"consistency",
       "block partition: irregular blocks of 1 to 8192 frames play differently from 512-frame "
       "blocks: output channel 0 from frame "}}},
    {"thread-local-state",
     "consistency",
     60000,
     {{"consistency",
       "thread: blocks from three threads in turn play differently from blocks from one thread: "
       "output channel 0 from frame 512 ("}}},
    {"shared-static-state",
     "consistency",
     60000,
     {{"consistency",
       "neighbour: an instance playing in turn with a second one (other settings and signal) "
       "plays differently from alone: output channel 0 from frame 512 ("}}},
    {"state-not-heard",
     "state",
     60000,
     {{"state",
       "state heard: a fresh instance restoring a state plays differently from one given the "
       "state's parameters one by one: output channel 0 from frame 0 ("}}},
    {"chunk-last-field-unwritten",
     "state",
     60000,
     {{"state", "getChunk hands the host 4 bytes it never wrote, from byte 16 to 19 of 20"}}},
    {"nan-at-maximum",
     "extremes",
     60000,
     {{"extremes", "output is not finite (parameter 0 (Gain) at 1, noise)"}}},
    {"rate-ignored",
     "audio",
     60000,
     {{"audio",
       "the effect ignores the sample rate: its response at 96000 Hz is that at 44100 Hz "
       "stretched by the rates' ratio (within 0.00 dB)"}},
     "--strict"},
    {"resume-keeps-state",
     "restart",
     60000,
     {{"restart",
       "resumed after effMainsChanged(0) and (1), the effect plays differently from a fresh "
       "instance: output channel 0 from frame 0 ("}},
     "--strict"},
    {"notes-never-stop",
     "notes",
     60000,
     {{"notes",
       "notes never stop: 30 s after note-offs for a chord of 8 notes, the output still "
       "reaches -20.0 dBFS (the chord reached -20.0 dBFS)"}}},
    {"notify-while-created",
     "open",
     60000,
     {{"open",
       "main() called the host with audioMasterAutomate (opcode 0) about the effect it had not yet "
       "returned: hosts know an effect only once main() returns it"}}},
    {"writes-input",
     "hoststate",
     60000,
     {{"hoststate",
       "processReplacing(64 frames) wrote into input channel 0 at frame 0 (separate input and "
       "output buffers, the thread that opened the effect)"}}},
    // Compared with the state of the same thread just before the call.
    {"changes-fp-state",
     "hoststate,audio",
     60000,
     {{"hoststate", sizeof(void*) == 4
                        ? "processReplacing changes the calling thread's floating-point control "
                          "state (the thread that opened the effect): MXCSR 0x1F80 became 0x9FC0 "
                          "(flush-to-zero, denormals-are-zero) and the x87 control word 0x037F "
                          "became 0x007F (precision)"
                        : "processReplacing changes the calling thread's floating-point control "
                          "state (the thread that opened the effect): MXCSR 0x1F80 became 0x9FC0 "
                          "(flush-to-zero, denormals-are-zero)"},
      // Every check watches every call.
      {"audio", "processReplacing changes the calling thread's floating-point control state"}}},
};

TEST_F(ValidateTest, EachFaultIsCaughtByTheCheckThatNamesIt) {
  for (const FaultCase& fault : kFaultCases) {
    const ChildRun run = plughost("validate \"" + plugin + "\" --level 1 --seed 7 --timeout-ms " +
                                      std::to_string(fault.timeoutMs) + " --only " + fault.only +
                                      " " + fault.options,
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

// The clean one-pole filter that plays notes is all the sound and state
// checks' faults above without the fault: it passes them all, --strict.
TEST_F(ValidateTest, AHealthyFilterThatPlaysNotesPassesTheSoundChecks) {
  const ChildRun run = plughost("validate \"" + plugin +
                                    "\" --level 1 --seed 7 --strict --only "
                                    "audio,state,consistency,extremes,restart,notes",
                                "one-pole plays-notes");
  EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
  for (const char* check : {"audio", "state", "consistency", "extremes", "restart", "notes"}) {
    EXPECT_EQ(0u, lineOf(run.out, check).find("PASS  ")) << check << "\n" << run.out;
  }
}

// The audio checks would only run into their time limits: they are named as
// not run, and the verdict comes at once.
TEST_F(ValidateTest, AfterSlowerThanRealTimeTheAudioChecksAreNotRun) {
  const ChildRun run =
      plughost("validate \"" + plugin + "\" --level 10 --seed 7 --only cpu,audio,realtime,texts",
               "slow-process");
  EXPECT_EQ(1u, run.exitCode) << run.out << run.err;
  EXPECT_EQ("plughost: error: 1 of 2 checks failed\n", run.err);
  for (const char* check : {"audio", "realtime"}) {
    EXPECT_NE(std::string::npos,
              lineOf(run.out, check)
                  .find("0.00 s  not run: the effect processes slower than real time (cpu)"))
        << run.out;
  }
  EXPECT_EQ(0u, lineOf(run.out, "texts").find("PASS  ")) << run.out;
  EXPECT_NE(std::string::npos, run.out.find(": 1 of 2 checks failed, 2 not run (level 10, seed 7)"))
      << run.out;
}

// The editor check opens into a window: under a display only (xvfb-run -a
// gives a virtual one); skipped without.
TEST_F(ValidateTest, AnEditorLeakingAGdiObjectPerOpenFails) {
  const ChildRun clean =
      plughost("validate \"" + plugin + "\" --level 3 --seed 7 --only editor", "standalone");
  if (clean.out.find("no window can be created") != std::string::npos) {
    if (wine_test::displayRequired()) FAIL() << "no window could be created\n" << clean.out;
    GTEST_SKIP() << "no display";
  }
  EXPECT_EQ(0u, clean.exitCode) << clean.out << clean.err;
  const ChildRun leaking =
      plughost("validate \"" + plugin + "\" --level 3 --seed 7 --only editor", "editor-leaks-gdi");
  EXPECT_EQ(1u, leaking.exitCode) << leaking.out;
  const std::string line = lineOf(leaking.out, "editor");
  EXPECT_EQ(0u, line.find("FAIL  ")) << leaking.out;
  // 9 cycles, one brush each, grow the count in both halves; the end of
  // the line says how they were counted where the system answers 0.
  EXPECT_NE(std::string::npos, line.find(" over 4 and 5 editor cycles")) << line;
  const std::size_t from = line.find("GDI objects grow from ");
  ASSERT_NE(std::string::npos, from) << line;
  int before = 0, middle = 0, after = 0;
  ASSERT_EQ(3, std::sscanf(line.c_str() + from, "GDI objects grow from %d to %d to %d", &before,
                           &middle, &after));
  EXPECT_LE(4, middle - before) << line;
  EXPECT_LE(5, after - middle) << line;
}

// Hosts size their window from effEditGetRect and expect the editor inside
// it: a top-level window of the editor's own, or a window of another size
// than reported, fails.
TEST_F(ValidateTest, AnEditorOutsideTheHostsWindowOrOfAnotherSizeFails) {
  const struct {
    const char* script;
    const char* text;
  } cases[] = {
      {"editor-top-level",
       "cycle 0: the editor opened a top-level window of its own (class \"Static\", 400 x 300) "
       "instead of a child of the host's window"},
      {"editor-wrong-size",
       "cycle 0: effEditGetRect gives 400 x 300 but the editor's window is 500 x 300"},
  };
  for (const auto& c : cases) {
    const ChildRun run = plughost("validate \"" + plugin + "\" --seed 7 --only editor", c.script);
    if (run.out.find("no window can be created") != std::string::npos) {
      if (wine_test::displayRequired()) FAIL() << "no window could be created\n" << run.out;
      GTEST_SKIP() << "no display";
    }
    EXPECT_EQ(1u, run.exitCode) << run.out;
    const std::string line = lineOf(run.out, "editor");
    EXPECT_EQ(0u, line.find("FAIL  ")) << c.script << "\n" << run.out;
    EXPECT_NE(std::string::npos, line.find(c.text)) << c.script << "\n" << run.out;
  }
}

// kelbridge shows "Registry error" in main when its engine's key is missing:
// under a display that box waits for a click, the open check times out, and
// every other check is named as not run, with the reason, on a line of its
// own.
TEST_F(ValidateTest, AnEffectThatCannotOpenNamesEveryCheckNotRun) {
  const std::string dll = folder + "NoKey.dll";
  ASSERT_TRUE(CopyFileA(plugin.c_str(), dll.c_str(), FALSE));
  const std::string ini =
      "[KEL]\r\nGUID={00000000-0000-0000-0000-00000000D1A1}\r\nID=9\r\n[VST]\r\nName=NoKey\r\n";
  ASSERT_TRUE(wine_test::writeBytes(folder + "NoKey.ini", ini));
  const ChildRun run = plughost("validate \"" + dll + "\" --seed 7 --timeout-ms 3000");
  EXPECT_EQ(1u, run.exitCode) << run.out << run.err;
  EXPECT_EQ(1, run.errLines()) << run.err;
  if (lineOf(run.out, "open").find("timed out after 3000 ms in main(hostCallback)") ==
      std::string::npos) {
    if (wine_test::displayRequired()) FAIL() << "the box did not wait\n" << run.out;
    GTEST_SKIP() << "no display: the box did not wait\n" << run.out;
  }
  for (const char* check : {"texts", "cpu", "realtime", "editor", "fuzz"}) {
    EXPECT_EQ(0u, lineOf(run.out, check).find("SKIP  "));
    EXPECT_NE(std::string::npos,
              lineOf(run.out, check).find("0.00 s  not run: the effect does not open"))
        << run.out;
  }
  EXPECT_NE(std::string::npos, run.out.find(": 1 of 1 checks failed, 18 not run (level 1, seed 7)"))
      << run.out;
  // The line says why, as info does.
  EXPECT_NE(std::string::npos,
            lineOf(run.out, "open")
                .find("; it comes up without its engine: engine GUID "
                      "'{00000000-0000-0000-0000-00000000D1A1}' is not registered"))
      << run.out;
}

// An effect whose engine cannot load comes up without it: the open check
// names the step the way info does, word for word.
TEST_F(ValidateTest, AnEffectWithoutItsEngineIsExplainedAsInfoExplainsIt) {
  const std::string dll = folder + "Lost.dll";
  ASSERT_TRUE(CopyFileA(plugin.c_str(), dll.c_str(), FALSE));
  const std::string lostGuid = wine_test::relatedGuid(scratch.guid, 7);
  ASSERT_TRUE(wine_test::setEnginePath(lostGuid, folder + "NoSuchEngine.dll"));
  const std::string ini = "[KEL]\r\nGUID=" + lostGuid + "\r\nID=9\r\n[VST]\r\nName=Lost\r\n";
  ASSERT_TRUE(wine_test::writeBytes(folder + "Lost.ini", ini));
  const ChildRun info = plughost("info \"" + dll + "\"");
  const ChildRun run = plughost("validate \"" + dll + "\" --seed 7 --only open");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, wine_test::productKey(lostGuid).c_str());
  const std::string marker = "came up without its engine: ";
  const std::size_t from = info.err.find(marker);
  ASSERT_NE(std::string::npos, from) << info.err;
  const std::string reason =
      info.err.substr(from + marker.size(), info.err.size() - from - marker.size() - 1);
  EXPECT_NE(std::string::npos, reason.find("NoSuchEngine.dll' cannot be loaded: ")) << reason;
  EXPECT_EQ(1u, run.exitCode) << run.out << run.err;
  EXPECT_NE(
      std::string::npos,
      lineOf(run.out, "open")
          .find("the effect came up without its engine (unique ID 'NoEf', no flags): " + reason))
      << run.out;
}

// The bridge reads its folder through the ANSI code page: a folder named
// outside ASCII but inside that page holds a working effect, which validate
// takes, and its report, as every other command does.
TEST_F(ValidateTest, APluginAndItsReportInAFolderNamedBeyondAscii) {
  const std::string dir = folder + "d\xC3\xAFr2\\";  // "dïr2"
  const auto wide = [](const std::string& text) {
    std::wstring result(text.size() + 1, L'\0');
    result.resize(static_cast<std::size_t>(
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &result[0],
                            static_cast<int>(result.size()))));
    return result;
  };
  BOOL lost = FALSE;
  char ansi[MAX_PATH] = {};
  WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide(dir).c_str(), -1, ansi, sizeof ansi,
                      nullptr, &lost);
  if (lost || GetACP() == CP_UTF8) GTEST_SKIP() << "'\xC3\xAF' is not in code page " << GetACP();
  ASSERT_TRUE(CreateDirectoryW(wide(dir).c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(wide(plugin).c_str(), wide(dir + "TestFx.dll").c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileW(wide(folder + "TestFx.ini").c_str(), wide(dir + "TestFx.ini").c_str(), FALSE));
  const std::string json = dir + "r\xC3\xA9port.json";  // "réport.json"
  const ChildRun run = plughost(
      "validate \"" + dir + "TestFx.dll\" --seed 7 --only open,state " + "--json \"" + json + "\"",
      "standalone");
  EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
  EXPECT_EQ("", run.err);
  EXPECT_EQ(0u, lineOf(run.out, "open").find("PASS  ")) << run.out;
  EXPECT_EQ(0u, lineOf(run.out, "state").find("PASS  ")) << run.out;
  FILE* report = _wfopen(wide(json).c_str(), L"rb");
  ASSERT_NE(nullptr, report) << run.out;
  std::string text(4096, '\0');
  text.resize(std::fread(&text[0], 1, text.size(), report));
  std::fclose(report);
  EXPECT_NE(std::string::npos, text.find("d\xC3\xAFr2")) << text;
  EXPECT_NE(std::string::npos, text.find("\"passed\": true,")) << text;
  _wremove(wide(json).c_str());
  DeleteFileW(wide(dir + "TestFx.dll").c_str());
  DeleteFileW(wide(dir + "TestFx.ini").c_str());
  RemoveDirectoryW(wide(dir).c_str());
}

// The same effect built for the other width, beside this one's build (the
// windows and windows64 build folders): a state saved by either width must
// restore in the other with the same parameters and sound.
TEST_F(ValidateTest, AStateMovesBetweenTheTwoWidths) {
  const int otherWidth = 96 - 8 * static_cast<int>(sizeof(void*));
  std::string bin = binFolder();
  bin = bin.substr(0, bin.size() - 1);                        // ...\windows\bin
  std::string build = bin.substr(0, bin.find_last_of('\\'));  // ...\windows
  const bool wide = build.size() > 2 && build.compare(build.size() - 2, 2, "64") == 0;
  const std::string otherBin =
      (wide ? build.substr(0, build.size() - 2) : build + "64") + "\\bin\\";
  for (const char* file : {"plughost.exe", "kelbridge.dll", "kel_test_engine.dll"}) {
    if (GetFileAttributesA((otherBin + file).c_str()) == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "the other width is not built: no " << otherBin << file;
    }
  }
  // The other width's plug-in finds its engine in its own registry view.
  const REGSAM otherView = sizeof(void*) == 4 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, wine_test::productKey(scratch.guid).c_str(), 0,
                            nullptr, 0, KEY_WRITE | otherView, nullptr, &key, nullptr));
  const std::string engine = otherBin + "kel_test_engine.dll";
  RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(engine.c_str()),
                 static_cast<DWORD>(engine.size() + 1));
  RegCloseKey(key);
  ASSERT_TRUE(CreateDirectoryA((folder + "other").c_str(), nullptr));
  const std::string otherPlugin = folder + "other\\TestFx.dll";
  ASSERT_TRUE(CopyFileA((otherBin + "kelbridge.dll").c_str(), otherPlugin.c_str(), FALSE));
  ASSERT_TRUE(
      CopyFileA((folder + "TestFx.ini").c_str(), (folder + "other\\TestFx.ini").c_str(), FALSE));
  const std::string arguments = "validate \"" + plugin +
                                "\" --seed 7 --only widths --other-width \"" + otherBin +
                                "plughost.exe," + otherPlugin + "\"";
  const ChildRun clean = plughost(arguments, "standalone");
  const ChildRun faulty = plughost(arguments, "state-by-width");
  RegDeleteKeyExA(HKEY_LOCAL_MACHINE, wine_test::productKey(scratch.guid).c_str(), otherView, 0);
  EXPECT_EQ(0u, clean.exitCode) << clean.out << clean.err;
  EXPECT_EQ(0u, lineOf(clean.out, "widths").find("PASS  ")) << clean.out;
  EXPECT_EQ(1u, faulty.exitCode) << faulty.out << faulty.err;
  const std::string line = lineOf(faulty.out, "widths");
  EXPECT_EQ(0u, line.find("FAIL  ")) << faulty.out;
  EXPECT_NE(std::string::npos,
            line.find("a state saved by the " + std::to_string(8 * sizeof(void*)) +
                      "-bit plug-in, restored in the " + std::to_string(otherWidth) +
                      "-bit one, is refused: plughost: error: 'TestFx' did not take the program"))
      << faulty.out;
}

TEST_F(ValidateTest, AWellBehavedEngineAndItsReportPass) {
  const std::string json = folder + "report.json";
  const ChildRun run = plughost(
      "validate \"" + plugin +
          "\" --level 1 --seed 42 --only open,texts,parameters,state --json \"" + json + "\"",
      "standalone");
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

TEST_F(ValidateTest, BadFilesEndWithOneLineAndTheirStatus) {
  struct Case {
    std::string arguments;
    DWORD status;
    std::string error;
  };
  const std::string missing = folder + "Missing.dll";
  const std::string engine = binFolder() + "kel_test_engine.dll";
  const Case cases[] = {
      {"validate \"" + missing + "\"", 4,
       "plughost: error: plug-in '" + missing + "' does not exist\n"},
      {"validate \"" + folder + "TestFx.ini\"", 4,
       "plughost: error: '" + folder + "TestFx.ini' is not a Windows DLL\n"},
      {"validate \"" + engine + "\" --only open", 1,
       "plughost: error: '" + engine + "' is not a VST 2 plug-in: it has no export \"main\"\n"},
      {"validate \"" + plugin + "\" --level 11", 2,
       "plughost: error: --level: must be a whole number from 1 to 10, not '11'\n"},
      {"validate \"" + plugin + "\" --level 0", 2,
       "plughost: error: --level: must be a whole number from 1 to 10, not '0'\n"},
      {"validate \"" + plugin + "\" --level abc", 2,
       "plughost: error: --level: must be a whole number from 1 to 10, not 'abc'\n"},
      // The report's place is checked before the first check runs.
      {"validate \"" + plugin + "\" --json \"" + folder + "none\\r.json\"", 2,
       "plughost: error: --json: the folder of '" + folder + "none\\r.json' does not exist\n"},
      {"validate \"" + plugin + "\" --json \"" + folder + "reports\"", 2,
       "plughost: error: --json: '" + folder + "reports' is a folder, not a file\n"},
      {"validate \"" + plugin + "\" --only open,sound", 2,
       "plughost: error: --only: unknown check 'sound' (checks: open, texts, parameters, state, "
       "cpu, audio, realtime, automation, midi, consistency, extremes, restart, notes, threads, "
       "editor, lifecycle, fuzz, hoststate, widths)\n"},
      {"validate \"" + plugin + "\" --other-width \"" + binFolder() + "plughost.exe," + plugin +
           "\"",
       2,
       "plughost: error: --other-width: '" + binFolder() + "plughost.exe' is not a " +
           std::to_string(96 - 8 * static_cast<int>(sizeof(void*))) + "-bit program or DLL\n"},
  };
  ASSERT_TRUE(CreateDirectoryA((folder + "reports").c_str(), nullptr));
  for (const Case& c : cases) {
    const ChildRun run = plughost(c.arguments);
    if (c.status == 2) {
      EXPECT_EQ("", run.out) << c.arguments;
    }
    EXPECT_EQ(c.status, run.exitCode) << c.arguments << "\n" << run.err;
    EXPECT_EQ(1, run.errLines()) << c.arguments << "\n" << run.err;
    if (!c.error.empty()) {
      EXPECT_EQ(c.error, run.err) << c.arguments;
    }
  }
  RemoveDirectoryA((folder + "reports").c_str());
}

}  // namespace
