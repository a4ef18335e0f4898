#include "bridge/parameter_map.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace {

using IndexMap = std::map<std::int32_t, std::int32_t>;

constexpr int kLeaveUntouched = -1;

// An engine processor whose parameters differ only in their automatable
// byte; kLeaveUntouched makes it leave the record alone.
class FakeProcessor final : public kel::IProcessor {
 public:
  FakeProcessor(std::int32_t parameterCount, std::vector<int> automatableBytes)
      : count(parameterCount), automatable(std::move(automatableBytes)) {}

  std::int32_t count;
  std::vector<int> automatable;
  std::vector<std::int32_t> describedIndexes;
  int countQueries = 0;

  void release() override {}
  void initialize() override {}
  void terminate() override {}
  std::int32_t getFlags() override { return 0; }
  void activate() override {}
  void deactivate() override {}
  std::int32_t getDefaultOutputCount() override { return 0; }
  void setInputCount(std::int32_t) override {}
  void setOutputCount(std::int32_t) override {}
  void setBlockSize(std::int32_t) override {}
  void setSampleRate(float) override {}
  void process(float**, float**, std::int32_t, std::int32_t*) override {}
  std::int32_t getParameterCount() override {
    ++countQueries;
    return count;
  }
  void getParameterInfo(std::int32_t index, kel::SParameterInfo* info) override {
    describedIndexes.push_back(index);
    const int byte = index < static_cast<std::int32_t>(automatable.size()) ? automatable[index]
                                                                           : kLeaveUntouched;
    if (byte == kLeaveUntouched) return;
    info->name = "p";
    info->maximum = 100;
    info->automatable = static_cast<std::uint8_t>(byte);
  }
  std::int32_t getParameter(std::int32_t) override { return 0; }
  void setParameter(std::int32_t, std::int32_t) override {}
  std::int32_t getChunkSize() override { return 0; }
  void setChunk(void*, std::int32_t) override {}
  void getChunk(void*) override {}
  void processEvents(kel::SEvent*, std::int32_t) override {}
  void idle() override {}
};

TEST(ParameterMap, BuildTable) {
  struct Case {
    const char* what;
    std::int32_t count;
    std::vector<int> automatable;
    std::int32_t hostCount;
    IndexMap hostToEngine;
    IndexMap engineToHost;
  } cases[] = {
      {"hidden parameter between two exposed ones",
       3,
       {1, 0, 1},
       2,
       {{0, 0}, {1, 2}},
       {{0, 0}, {1, -1}, {2, 1}}},
      {"no automatable parameter", 3, {0, 0, 0}, 0, {}, {{0, -1}, {1, -1}, {2, -1}}},
      {"no parameters at all", 0, {}, 0, {}, {}},
      {"negative count", -3, {1, 1, 1}, 0, {}, {}},
      {"runs of hidden parameters leave no gap",
       7,
       {0, 1, 0, 0, 1, 0, 1},
       3,
       {{0, 1}, {1, 4}, {2, 6}},
       {{0, -1}, {1, 0}, {2, -1}, {3, -1}, {4, 1}, {5, -1}, {6, 2}}},
      {"any nonzero automatable byte exposes",
       5,
       {2, 0x80, 0xFF, 0, 1},
       4,
       {{0, 0}, {1, 1}, {2, 2}, {3, 4}},
       {{0, 0}, {1, 1}, {2, 2}, {3, -1}, {4, 3}}},
      {"unfilled description is hidden", 2, {kLeaveUntouched, 1}, 1, {{0, 1}}, {{0, -1}, {1, 0}}},
  };
  for (const Case& c : cases) {
    FakeProcessor engine(c.count, c.automatable);
    bridge::ParameterMap map;
    EXPECT_EQ(map.build(engine), c.count) << c.what;
    EXPECT_EQ(map.hostCount(), c.hostCount) << c.what;
    EXPECT_EQ(map.hostToEngine(), c.hostToEngine) << c.what;
    EXPECT_EQ(map.engineToHost(), c.engineToHost) << c.what;
    EXPECT_EQ(engine.countQueries, 1) << c.what;
    // Every engine index is described exactly once, in order.
    std::vector<std::int32_t> expectedDescribed;
    for (std::int32_t i = 0; i < c.count; ++i) expectedDescribed.push_back(i);
    EXPECT_EQ(engine.describedIndexes, expectedDescribed) << c.what;
  }
}

TEST(ParameterMap, SecondBuildNeverReplacesEntries) {
  FakeProcessor first(3, {1, 0, 1});
  FakeProcessor second(4, {0, 1, 1, 1});
  bridge::ParameterMap map;
  map.build(first);
  map.build(second);
  EXPECT_EQ(map.hostToEngine(), (IndexMap{{0, 0}, {1, 2}, {2, 3}}));
  EXPECT_EQ(map.engineToHost(), (IndexMap{{0, 0}, {1, -1}, {2, 1}, {3, 2}}));
  EXPECT_EQ(map.hostCount(), 3);
}

TEST(ParameterMap, LookupsOfKnownAndUnknownKeys) {
  FakeProcessor engine(3, {1, 0, 1});
  bridge::ParameterMap map;
  map.build(engine);

  struct Case {
    std::int32_t key;
    bool found;
    std::int32_t index;
  };
  const Case hostKeys[] = {{0, true, 0}, {1, true, 2}, {2, false, 0}, {-1, false, 0}};
  for (const Case& c : hostKeys) {
    std::int32_t engineIndex = 99;
    EXPECT_EQ(map.engineIndexOf(c.key, &engineIndex), c.found) << c.key;
    EXPECT_EQ(engineIndex, c.found ? c.index : 99) << "untouched when absent, key " << c.key;
  }
  const Case engineKeys[] = {{0, true, 0},
                             {2, true, 1},
                             {1, false, 0},  // hidden
                             {3, false, 0},
                             {-1, false, 0}};
  for (const Case& c : engineKeys) {
    std::int32_t hostIndex = 99;
    EXPECT_EQ(map.hostIndexOf(c.key, &hostIndex), c.found) << c.key;
    EXPECT_EQ(hostIndex, c.found ? c.index : 99) << "untouched when absent, key " << c.key;
  }
  EXPECT_TRUE(map.engineIndexOf(1, nullptr));
  EXPECT_TRUE(map.hostIndexOf(2, nullptr));
}

TEST(DescribeParameter, UnfilledRecordReadsAsNeutralDescription) {
  FakeProcessor engine(1, {kLeaveUntouched});
  kel::SParameterInfo info;
  bridge::describeParameter(engine, 5, info);
  EXPECT_EQ(engine.describedIndexes, std::vector<std::int32_t>{5});
  EXPECT_EQ(info.name, nullptr);
  EXPECT_EQ(info.label, nullptr);
  EXPECT_EQ(info.displayType, 0);
  EXPECT_EQ(info.minimum, 0);
  EXPECT_EQ(info.maximum, 0);
  EXPECT_EQ(info.decimals, 0);
  EXPECT_EQ(info.minimumText, nullptr);
  EXPECT_EQ(info.maximumText, nullptr);
  EXPECT_EQ(info.curve, kel::kCurveLinear);
  EXPECT_EQ(info.logBase, 0u);
  EXPECT_EQ(info.valueNames, nullptr);
  EXPECT_EQ(info.automatable, 0);
}

TEST(DescribeParameter, EngineFillsTheCallersRecord) {
  FakeProcessor engine(1, {0x80});
  kel::SParameterInfo info;
  bridge::describeParameter(engine, 0, info);
  EXPECT_STREQ(info.name, "p");
  EXPECT_EQ(info.maximum, 100);
  EXPECT_EQ(info.automatable, 0x80);
}

}  // namespace
