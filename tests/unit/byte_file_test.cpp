// plughost's file writes: a target is replaced whole or not at all, and no
// temporary file outlives a write, whether it succeeds or fails.
#include "formats/byte_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <csignal>
#endif

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class ByteFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder =
        fs::temp_directory_path() /
        ("byte_file_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override { fs::remove_all(folder); }

  std::vector<std::string> names() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
      found.push_back(entry.path().filename().string());
    }
    return found;
  }
  Bytes read(const std::string& name) const {
    Bytes bytes;
    std::string error;
    EXPECT_TRUE(plughost::readFileBytes((folder / name).string(), bytes, error)) << error;
    return bytes;
  }

  fs::path folder;
};

TEST_F(ByteFileTest, WriteReplacesTheTargetWholeAndLeavesNoTemporary) {
  const std::string target = (folder / "out.bin").string();
  std::string error;
  ASSERT_TRUE(plughost::writeFileBytes(target, Bytes(100000, 0xAB), error)) << error;
  ASSERT_TRUE(plughost::writeFileBytes(target, Bytes{1, 2, 3}, error)) << error;
  EXPECT_EQ((Bytes{1, 2, 3}), read("out.bin"));
  EXPECT_EQ(std::vector<std::string>{"out.bin"}, names());
}

TEST_F(ByteFileTest, StagedFilesAppearTogetherOnCommitAndNotAtAllWithout) {
  const std::string a = (folder / "a.dll").string();
  const std::string b = (folder / "a.ini").string();
  std::string error;
  {
    plughost::StagedFiles files;
    ASSERT_TRUE(files.stage(a, Bytes{1}, error)) << error;
    ASSERT_TRUE(files.stage(b, Bytes{2}, error)) << error;
    EXPECT_EQ(2u, names().size());  // temporaries only
    EXPECT_FALSE(fs::exists(a));
  }  // not committed: both temporaries go
  EXPECT_TRUE(names().empty());

  plughost::StagedFiles files;
  ASSERT_TRUE(files.stage(a, Bytes{1}, error)) << error;
  // A second file that cannot be written: the first is still only staged.
  EXPECT_FALSE(files.stage((folder / "missing" / "a.ini").string(), Bytes{2}, error));
  EXPECT_EQ(0u, error.find("cannot write '" + (folder / "missing" / "a.ini").string() + "': "))
      << error;
  EXPECT_FALSE(fs::exists(a));
  ASSERT_TRUE(files.stage(b, Bytes{2}, error)) << error;
  ASSERT_TRUE(files.commit(error)) << error;
  EXPECT_EQ((Bytes{1}), read("a.dll"));
  EXPECT_EQ((Bytes{2}), read("a.ini"));
  EXPECT_EQ(2u, names().size());
}

// A rename that fails part-way (the last target is a folder) puts back the
// target it replaced before and removes the one that did not exist.
TEST_F(ByteFileTest, ACommitThatFailsPartWayPutsBackWhatItReplaced) {
  std::string error;
  ASSERT_TRUE(plughost::writeFileBytes((folder / "old.dll").string(), Bytes{9}, error)) << error;
  fs::create_directory(folder / "busy.ini");
  {
    plughost::StagedFiles files;
    ASSERT_TRUE(files.stage((folder / "new.dll").string(), Bytes{1}, error)) << error;
    ASSERT_TRUE(files.stage((folder / "old.dll").string(), Bytes{2}, error)) << error;
    ASSERT_TRUE(files.stage((folder / "busy.ini").string(), Bytes{3}, error)) << error;
    EXPECT_FALSE(files.commit(error));
    EXPECT_EQ("cannot replace '" + (folder / "busy.ini").string() + "'", error);
  }
  EXPECT_EQ((Bytes{9}), read("old.dll"));
  std::vector<std::string> left = names();
  std::sort(left.begin(), left.end());
  EXPECT_EQ((std::vector<std::string>{"busy.ini", "old.dll"}), left);
}

#if !defined(_WIN32)
// A file size limit fails the write part-way, as a full disk does: the old
// target stays as it was and the temporary goes.
TEST_F(ByteFileTest, AWriteThatFailsPartWayKeepsTheOldTarget) {
  const std::string target = (folder / "out.wav").string();
  std::string error;
  ASSERT_TRUE(plughost::writeFileBytes(target, Bytes{7, 7}, error)) << error;
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  // Fewer bytes than the stream buffer holds: the failure shows only in the
  // flush, as on a disk that fills up at the end.
  const bool written = plughost::writeFileBytes(target, Bytes(3000, 1), error);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ("cannot write '" + target + "': File too large", error);
  EXPECT_EQ((Bytes{7, 7}), read("out.wav"));
  EXPECT_EQ(std::vector<std::string>{"out.wav"}, names());
}
#endif

}  // namespace
