// plughost's program files: exact big-endian layout, round trips, and refusal
// of anything truncated, inconsistent or of another kind.
#include "formats/fxp_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using plughost::decodeFxp;
using plughost::encodeFxp;
using plughost::FxpProgram;
using Bytes = std::vector<std::uint8_t>;

FxpProgram sample() {
  FxpProgram p;
  p.pluginId = 0x44476169;  // 'DGai'
  p.pluginVersion = 0x01020304;
  p.parameterCount = 2;
  p.name = "Warm";
  p.chunk = {0xAA, 0xBB, 0xCC};
  return p;
}

TEST(FxpWrite, LayoutIsExactBigEndian) {
  Bytes expected = {'C', 'c', 'n', 'K', 0, 0, 0, 55,  // 52 + 3 chunk bytes after this field
                    'F', 'P', 'C', 'h', 0, 0, 0, 1,   // chunk program, version 1
                    'D', 'G', 'a', 'i', 1, 2, 3, 4,   // ID, plug-in version
                    0,   0,   0,   2,                 // parameter count
                    'W', 'a', 'r', 'm'};
  expected.resize(56, 0);  // the rest of the 28-byte name
  expected.insert(expected.end(), {0, 0, 0, 3, 0xAA, 0xBB, 0xCC});
  EXPECT_EQ(expected, encodeFxp(sample()));
}

TEST(FxpRoundTrip, KeepsEveryFieldAndCutsLongNames) {
  FxpProgram in = sample();
  in.pluginId = -2;
  in.chunk.assign(70000, 7);
  FxpProgram out;
  std::string error;
  ASSERT_TRUE(decodeFxp(encodeFxp(in), out, error)) << error;
  EXPECT_EQ(in.pluginId, out.pluginId);
  EXPECT_EQ(in.pluginVersion, out.pluginVersion);
  EXPECT_EQ(in.parameterCount, out.parameterCount);
  EXPECT_EQ(in.name, out.name);
  EXPECT_EQ(in.chunk, out.chunk);

  in.name = std::string(40, 'n');
  in.chunk.clear();
  const Bytes bytes = encodeFxp(in);
  EXPECT_EQ(60u, bytes.size());
  EXPECT_EQ(0, bytes[28 + 27]);  // the name always ends with a NUL
  ASSERT_TRUE(decodeFxp(bytes, out, error)) << error;
  EXPECT_EQ(std::string(27, 'n'), out.name);
  EXPECT_TRUE(out.chunk.empty());
}

TEST(FxpRead, EveryTruncationIsRefusedAndLeavesTheProgramAlone) {
  const Bytes good = encodeFxp(sample());
  for (std::size_t size = 0; size < good.size(); ++size) {
    FxpProgram p;
    p.name = "untouched";
    std::string error;
    EXPECT_FALSE(decodeFxp(Bytes(good.begin(), good.begin() + size), p, error)) << size;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ("untouched", p.name);
  }
}

TEST(FxpRead, InconsistentOrForeignFilesAreRefused) {
  const Bytes good = encodeFxp(sample());
  auto refusal = [](Bytes b) {
    FxpProgram p;
    std::string error;
    return decodeFxp(b, p, error) ? std::string("accepted") : error;
  };
  auto with = [&](std::size_t at, std::uint8_t v) {
    Bytes b = good;
    b[at] = v;
    return b;
  };
  EXPECT_EQ("not a preset file (no 'CcnK' header)", refusal(with(0, 'X')));
  EXPECT_EQ("not a preset file (no 'CcnK' header)", refusal(Bytes(500, 0xEE)));
  auto kind = [&](const char* tag) {
    Bytes b = good;
    std::copy(tag, tag + 4, b.begin() + 8);
    return b;
  };
  EXPECT_EQ("preset file holds a parameter list, not a chunk program ('FPCh')",
            refusal(kind("FxCk")));
  EXPECT_EQ("preset file holds a parameter list, not a chunk program ('FPCh')",
            refusal(kind("FxBk")));
  EXPECT_EQ("this is a bank file, not a program: render plays one of its programs with --bank",
            refusal(kind("FBCh")));
  EXPECT_EQ("unknown preset kind (expected 'FPCh')", refusal(with(11, 'x')));
  EXPECT_EQ("unsupported preset format version 2", refusal(with(15, 2)));
  EXPECT_EQ("preset file sizes do not agree", refusal(with(7, 54)));  // byte size too small
  EXPECT_EQ("preset file is truncated", refusal(with(7, 56)));        // byte size past the end
  EXPECT_EQ("preset file is truncated", refusal(with(56, 0x80)));     // huge chunk size
  EXPECT_EQ("preset file sizes do not agree", refusal(with(59, 2)));  // chunk size too small
  Bytes trailing = good;
  trailing.push_back(0);
  EXPECT_EQ("preset file has bytes after its end (1 more than its sizes state)", refusal(trailing));
  trailing.insert(trailing.end(), 9, 0);
  EXPECT_EQ("preset file has bytes after its end (10 more than its sizes state)",
            refusal(trailing));
}

plughost::FxbBank sampleBank() {
  plughost::FxbBank b;
  b.pluginId = 0x4446696C;  // 'DFil'
  b.pluginVersion = 7;
  b.programCount = 3;
  b.currentProgram = 2;
  b.chunk = {0x11, 0x22};
  return b;
}

TEST(FxbBank, LayoutIsExactAndEveryFieldReadsBack) {
  const Bytes bytes = plughost::encodeFxb(sampleBank());
  Bytes expected = {'C', 'c', 'n', 'K', 0, 0, 0, 154,  // 152 + 2 chunk bytes after this field
                    'F', 'B', 'C', 'h', 0, 0, 0, 2,    // chunk bank, version 2
                    'D', 'F', 'i', 'l', 0, 0, 0, 7,    // ID, plug-in version
                    0,   0,   0,   3,   0, 0, 0, 2};   // program count, current program
  expected.resize(156, 0);                             // reserved
  expected.insert(expected.end(), {0, 0, 0, 2, 0x11, 0x22});
  EXPECT_EQ(expected, bytes);

  plughost::FxbBank out;
  std::string error;
  ASSERT_TRUE(plughost::decodeFxb(bytes, out, error)) << error;
  EXPECT_EQ(0x4446696C, out.pluginId);
  EXPECT_EQ(7, out.pluginVersion);
  EXPECT_EQ(3, out.programCount);
  EXPECT_EQ(2, out.currentProgram);
  EXPECT_EQ(sampleBank().chunk, out.chunk);
  Bytes version1 = bytes;
  version1[15] = 1;  // offset 28 is reserved there
  ASSERT_TRUE(plughost::decodeFxb(version1, out, error)) << error;
  EXPECT_EQ(0, out.currentProgram);
}

TEST(FxbBank, ProgramsParameterListsAndBrokenBanksAreRefused) {
  const Bytes good = plughost::encodeFxb(sampleBank());
  auto refusal = [](const Bytes& b) {
    plughost::FxbBank bank;
    bank.programCount = -5;
    std::string error;
    if (plughost::decodeFxb(b, bank, error)) return std::string("accepted");
    return bank.programCount == -5 ? error : "changed the bank: " + error;
  };
  auto with = [&](std::size_t at, const char* text) {
    Bytes b = good;
    for (std::size_t i = 0; text[i]; ++i) b[at + i] = static_cast<std::uint8_t>(text[i]);
    return b;
  };
  EXPECT_EQ("not a bank file (no 'CcnK' header)", refusal(with(0, "X")));
  EXPECT_EQ("this is a program file, not a bank: load it with --preset",
            refusal(encodeFxp(sample())));
  EXPECT_EQ(
      "the bank holds parameter lists ('FxBk'); only banks of one chunk ('FBCh') are supported",
      refusal(with(8, "FxBk")));
  EXPECT_EQ("unknown bank kind (expected 'FBCh')", refusal(with(8, "FBCx")));
  EXPECT_EQ("unsupported bank format version 3", refusal(with(15, "\x03")));
  EXPECT_EQ("bank file sizes do not agree", refusal(with(7, "\x99")));
  EXPECT_EQ("bank file is truncated", refusal(with(156, "\x80")));
  Bytes trailing = good;
  trailing.push_back(0);
  EXPECT_EQ("bank file has bytes after its end (1 more than its sizes state)", refusal(trailing));
  for (std::size_t size = 0; size < good.size(); ++size) {
    EXPECT_NE("accepted", refusal(Bytes(good.begin(), good.begin() + size))) << size;
  }
}

TEST(FxpFile, WritesAndReadsBack) {
  const std::string path = ::testing::TempDir() + "plughost_fxp_io_test.fxp";
  std::string error;
  ASSERT_TRUE(plughost::writeFxpFile(path, sample(), error)) << error;
  FxpProgram out;
  ASSERT_TRUE(plughost::readFxpFile(path, out, error)) << error;
  EXPECT_EQ(sample().chunk, out.chunk);
  std::remove(path.c_str());
  EXPECT_FALSE(plughost::readFxpFile(path, out, error));
}

}  // namespace
