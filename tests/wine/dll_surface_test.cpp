// The built plug-in as a host finds it on disk: an x86 DLL of this build's
// width (PE32 or PE32+) whose only export is "main", depending on nothing but
// DLLs every Windows system has.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "pe_image.h"
#include "platform/platform.h"
#include "recording_host.h"
#include "vst/vst_opcodes.h"

namespace {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The plug-in lies beside this test program.
std::string pluginPath() {
  char path[1024];
  if (!platform::moduleFileName(nullptr, path, sizeof(path))) return {};
  std::string folder(path);
  const std::size_t slash = folder.find_last_of("\\/");
  folder.erase(slash == std::string::npos ? 0 : slash + 1);
  return folder + "kelbridge.dll";
}

bool isSystemDll(const std::string& name) {
  static const char* const kSystem[] = {
      "kernel32.dll", "user32.dll", "advapi32.dll", "msvcrt.dll",   "ntdll.dll",  "gdi32.dll",
      "shell32.dll",  "ole32.dll",  "oleaut32.dll", "ucrtbase.dll", "shlwapi.dll"};
  const std::string n = lower(name);
  if (n.rfind("api-ms-win-", 0) == 0) return true;
  return std::find(std::begin(kSystem), std::end(kSystem), n) != std::end(kSystem);
}

class DllSurface : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(readPeImage(pluginPath(), &image, &error)) << error;
  }
  PeImage image;
};

TEST_F(DllSurface, IsAnX86DllOfThisBuildsWidth) {
#if defined(_WIN64)
  EXPECT_EQ(image.machine, PeImage::kMachineAmd64);
  EXPECT_EQ(image.optionalMagic, PeImage::kMagicPe32Plus);
#else
  EXPECT_EQ(image.machine, PeImage::kMachineI386);
  EXPECT_EQ(image.optionalMagic, PeImage::kMagicPe32);
#endif
  EXPECT_NE(image.characteristics & 0x2000, 0) << "not marked as a DLL";
}

TEST_F(DllSurface, ExportsOnlyMain) {
  EXPECT_EQ(image.exports, std::vector<std::string>{"main"});
}

TEST_F(DllSurface, ImportsOnlySystemDlls) {
  std::vector<std::string> all = image.imports;
  all.insert(all.end(), image.delayImports.begin(), image.delayImports.end());
  EXPECT_FALSE(all.empty());
  for (const std::string& dll : all) {
    EXPECT_TRUE(isSystemDll(dll)) << dll;
    const std::string n = lower(dll);
    for (const char* runtime : {"libstdc++", "libgcc", "libwinpthread"}) {
      EXPECT_EQ(n.find(runtime), std::string::npos) << dll;
    }
  }
}

using MainProc = AEffect*(VSTCALLBACK*)(audioMasterCallback);

TEST(DllEntry, MainCreatesNothingWithoutAHostOrForVersionZero) {
  platform::Library plugin;
  ASSERT_TRUE(plugin.load(pluginPath().c_str()));
  auto entry = reinterpret_cast<MainProc>(plugin.symbol("main"));
  ASSERT_NE(entry, nullptr);

  EXPECT_EQ(entry(nullptr), nullptr);

  RecordingHost host;
  host.answer(audioMasterVersion, 0);
  EXPECT_EQ(entry(host.master()), nullptr);
  ASSERT_EQ(host.calls().size(), 1u);
  EXPECT_EQ(host.last().effect, nullptr);
  EXPECT_EQ(host.last().opcode, audioMasterVersion);
}

}  // namespace
