// Our own three demo effects pass plughost validate at level 1 with every
// warning counted as a failure, editor included, as a vendor's CI would run
// it on theirs; and the editor check alone at level 10. (The editor check
// needs a display, e.g. a virtual one from xvfb-run -a; without, it is
// skipped.)
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "child_process.h"
#include "scratch_installation.h"

namespace {

struct DemoEffect {
  const char* name;
  int processIndex;
  int channelsIn;
};

const DemoEffect kDemoEffects[] = {{"DemoGain", 0, 2}, {"DemoFilter", 1, 2}, {"DemoSynth", 2, 0}};

TEST(ValidateDemoEffects, EachPassesLevelOne) {
  const wine_test::ScratchInstallation scratch("validate-demo", "kel_demo_engine.dll");
  ASSERT_TRUE(scratch.ready());
  for (const DemoEffect& effect : kDemoEffects) {
    const std::string dll = scratch.addEffect(effect.name, 100 + effect.processIndex,
                                              effect.processIndex, effect.channelsIn);
    ASSERT_FALSE(dll.empty()) << effect.name;
    const wine_test::ChildRun run = wine_test::runProgram(
        "plughost.exe", "validate \"" + dll + "\" --level 1 --seed 1 --strict --timeout-ms 120000",
        scratch.folder, 300000);
    EXPECT_TRUE(run.finished) << effect.name;
    EXPECT_EQ(0u, run.exitCode) << effect.name << "\n" << run.out << run.err;
    EXPECT_EQ(std::string::npos, run.out.find("FAIL")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find(": 0 of 19 checks failed (level 1, seed 1)"))
        << run.out;
  }
}

// Thirty open/close cycles of a real editor, each about 0.1 s here.
TEST(ValidateDemoEffects, TheEditorCheckPassesLevelTen) {
  const wine_test::ScratchInstallation scratch("validate-demo-editor", "kel_demo_engine.dll");
  ASSERT_TRUE(scratch.ready());
  const std::string dll = scratch.addEffect("DemoFilter", 101, 1);
  ASSERT_FALSE(dll.empty());
  const wine_test::ChildRun run = wine_test::runProgram(
      "plughost.exe", "validate \"" + dll + "\" --level 10 --seed 1 --only editor", scratch.folder,
      120000);
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(0u, run.exitCode) << run.out << run.err;
  if (wine_test::displayRequired()) {
    EXPECT_EQ(0u, run.out.find("PASS  editor")) << run.out;
  } else {
    EXPECT_TRUE(run.out.find("PASS  editor") == 0 || run.out.find("SKIP  editor") == 0) << run.out;
  }
}

}  // namespace
