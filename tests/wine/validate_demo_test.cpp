// Our own three demo effects pass plughost validate at level 1, as a vendor's
// CI would run it on theirs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "child_process.h"

namespace {

struct DemoEffect {
  const char* name;
  int processIndex;
  int channelsIn;
};

const DemoEffect kDemoEffects[] = {{"DemoGain", 0, 2}, {"DemoFilter", 1, 2}, {"DemoSynth", 2, 0}};

TEST(ValidateDemoEffects, EachPassesLevelOne) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string unique = std::to_string(GetCurrentProcessId());
  const std::string guid = "{validate-demo-" + unique + "}";
  const std::string folder = std::string(temp) + "validate_demo_" + unique + "\\";
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("Software\\KEL\\" + guid).c_str(),
                                           0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
  const std::string engine = wine_test::binFolder() + "kel_demo_engine.dll";
  RegSetValueExA(key, "PathName", 0, REG_SZ, reinterpret_cast<const BYTE*>(engine.c_str()),
                 static_cast<DWORD>(engine.size() + 1));
  RegCloseKey(key);

  for (const DemoEffect& effect : kDemoEffects) {
    const std::string dll = folder + effect.name + ".dll";
    ASSERT_TRUE(CopyFileA((wine_test::binFolder() + "kelbridge.dll").c_str(), dll.c_str(), FALSE));
    FILE* ini = std::fopen((folder + effect.name + ".ini").c_str(), "wb");
    ASSERT_NE(nullptr, ini);
    std::fprintf(
        ini,
        "[KEL]\r\nGUID=%s\r\nChannelsIn=%d\r\nChannelsOut=2\r\nID=%d\r\nProcessIndex=%d\r\n"
        "[VST]\r\nName=%s\r\n",
        guid.c_str(), effect.channelsIn, 100 + effect.processIndex, effect.processIndex,
        effect.name);
    std::fclose(ini);
    const wine_test::ChildRun run = wine_test::runProgram(
        "plughost.exe",
        "validate \"" + dll + "\" --level 1 --seed 1 --skip-editor --timeout-ms 120000", folder,
        300000);
    EXPECT_TRUE(run.finished) << effect.name;
    EXPECT_EQ(0u, run.exitCode) << effect.name << "\n" << run.out << run.err;
    EXPECT_EQ(std::string::npos, run.out.find("FAIL")) << run.out;
    EXPECT_NE(std::string::npos, run.out.find(": 0 of 11 checks failed (level 1, seed 1)"))
        << run.out;
  }

  RegDeleteKeyA(HKEY_LOCAL_MACHINE, ("Software\\KEL\\" + guid).c_str());
  for (const DemoEffect& effect : kDemoEffects) {
    DeleteFileA((folder + effect.name + ".dll").c_str());
    DeleteFileA((folder + effect.name + ".ini").c_str());
  }
  DeleteFileA((folder + "stdout.txt").c_str());
  DeleteFileA((folder + "stderr.txt").c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
