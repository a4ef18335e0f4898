// An engine that writes a contract version newer than the bridge serves is
// refused by each of the three that open engines: the plug-in (silently, with
// the base defaults), the benchmark's direct engine and plughost, which names
// the version.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "bridge_harness.h"
#include "child_process.h"
#include "direct_engine.h"
#include "scratch_installation.h"

namespace {

using wine_test::binFolder;

const std::int32_t kTooNew = static_cast<std::int32_t>(kel::kHighestEngineVersion) + 1;

std::string quoted(const std::string& path) {
  return "\"" + path + "\"";
}

TEST(RefusedEngineVersion, EveryoneWhoOpensEnginesRefusesIt) {
  BridgeHarness installation;
  testengine::Script& script = installation.engine();

  {
    SCOPED_TRACE("the plug-in");
    BridgeTestHost host;
    testengine::resetScript(script);
    script.version = kTooNew;
    AEffect* effect = installation.open(host);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->flags, 0);
    EXPECT_EQ(effect->numParams, 1);
    EXPECT_EQ(script.liveObjects, 0);
    EXPECT_TRUE(installation.errorBoxes().empty());
    EXPECT_EQ(installation.close(), 1);
  }
  {
    SCOPED_TRACE("the benchmark");
    testengine::resetScript(script);
    script.version = kTooNew;
    const bench::DirectEngine direct(binFolder() + "kel_test_engine.dll");
    EXPECT_EQ(direct.processor(), nullptr);
    EXPECT_EQ(script.callCount, 2);  // kelMain, then the module's release
    EXPECT_EQ(script.liveObjects, 0);
  }
  {
    SCOPED_TRACE("plughost");
    wine_test::ScratchInstallation scratch{"refused-version", "kel_test_engine.dll"};
    ASSERT_TRUE(scratch.ready());
    const std::string engine = binFolder() + "kel_test_engine.dll";
    const std::string refusal = "engine '" + engine + "' has interface version " +
                                std::to_string(kTooNew) + "; this bridge serves versions up to " +
                                std::to_string(kel::kHighestEngineVersion) + "\n";
    const std::string effect = scratch.addEffect("TooNew", 1234, 0);
    ASSERT_FALSE(effect.empty());
    // Each run's output files in a folder of their own.
    const auto plughost = [&](const std::string& arguments, const char* run) {
      const std::string runFolder = scratch.folder + run + "\\";
      CreateDirectoryA(runFolder.c_str(), nullptr);
      return wine_test::runProgram("plughost.exe", arguments, runFolder, 120000);
    };
    SetEnvironmentVariableA(testengine::kScriptVariable, "version-too-new");
    const wine_test::ChildRun info = plughost("info " + quoted(effect), "info");
    const wine_test::ChildRun install =
        plughost("install --plugin " + quoted(binFolder() + "kelbridge.dll") + " --dir " +
                     quoted(scratch.folder + "installed") + " --name Refused --guid " +
                     scratch.guid + " --id 4242 --process-index 0",
                 "install");
    SetEnvironmentVariableA(testengine::kScriptVariable, nullptr);

    EXPECT_EQ(info.exitCode, 1u);
    EXPECT_EQ(info.err, "plughost: error: '" + effect + "' came up without its engine: " + refusal);
    EXPECT_EQ(install.exitCode, 1u);
    EXPECT_EQ(install.err, "plughost: error: " + refusal);
    EXPECT_EQ(install.out, "");
    EXPECT_EQ(GetFileAttributesA((scratch.folder + "installed").c_str()), INVALID_FILE_ATTRIBUTES);
  }
}

}  // namespace
