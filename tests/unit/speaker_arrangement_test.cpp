// Speaker arrangement helpers of AudioEffectX. Blocks that are not released
// show up as leaks in the sanitizer build.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "plain_effect.h"
#include "vst/vst_opcodes.h"

namespace {

constexpr VstInt32 kIntMax = std::numeric_limits<VstInt32>::max();

bool allZero(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    if (p[i] != 0) return false;
  }
  return true;
}

void fillSpeaker(VstSpeakerProperties* speaker, int seed, const char* name) {
  speaker->azimuth = 0.5f * seed;
  speaker->elevation = -0.25f * seed;
  speaker->radius = 1.0f + seed;
  speaker->reserved = 3.0f * seed;
  std::strncpy(speaker->name, name, sizeof(speaker->name));
  speaker->type = 100 + seed;
  std::memset(speaker->future, 0x30 + seed, sizeof(speaker->future));
}

void expectSameSpeaker(const VstSpeakerProperties& a, const VstSpeakerProperties& b) {
  EXPECT_EQ(a.azimuth, b.azimuth);
  EXPECT_EQ(a.elevation, b.elevation);
  EXPECT_EQ(a.radius, b.radius);
  EXPECT_EQ(a.reserved, b.reserved);
  EXPECT_STREQ(a.name, b.name);
  EXPECT_EQ(a.type, b.type);
  EXPECT_EQ(std::memcmp(a.future, b.future, sizeof(a.future)), 0);
}

TEST(AllocateArrangement, GivesAZeroFilledBlockWithTheCount) {
  PlainEffect effect;
  VstSpeakerArrangement* place = nullptr;
  ASSERT_TRUE(effect.allocateArrangement(&place, 2));
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->type, 0);
  EXPECT_EQ(place->numChannels, 2);
  EXPECT_EQ(speakerArrangementSize(2), 232u);
  EXPECT_TRUE(allZero(speakerAt(place, 0), 2 * sizeof(VstSpeakerProperties)));

  // A second allocation on the same place releases the first block.
  ASSERT_TRUE(effect.allocateArrangement(&place, 0));
  EXPECT_EQ(place->numChannels, 0);
  EXPECT_TRUE(effect.deallocateArrangement(&place));
  EXPECT_EQ(place, nullptr);
}

TEST(AllocateArrangement, RefusesCountsItCannotHoldAndLeavesThePlaceEmpty) {
  // 38347923 channels is the first count whose block no longer fits 32 bits.
  for (VstInt32 count : {-1, -100, std::numeric_limits<VstInt32>::min(), kIntMax, 38347923}) {
    PlainEffect effect;
    VstSpeakerArrangement* place = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&place, 1));
    EXPECT_FALSE(effect.allocateArrangement(&place, count)) << count;
    EXPECT_EQ(place, nullptr) << count;
  }
  PlainEffect effect;
  EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
}

TEST(DeallocateArrangement, AnswersTrueInEveryCase) {
  PlainEffect effect;
  VstSpeakerArrangement* place = nullptr;
  EXPECT_TRUE(effect.deallocateArrangement(&place));
  EXPECT_TRUE(effect.deallocateArrangement(nullptr));
  ASSERT_TRUE(effect.allocateArrangement(&place, 3));
  EXPECT_TRUE(effect.deallocateArrangement(&place));
  EXPECT_EQ(place, nullptr);
}

TEST(CopySpeaker, CopiesEveryFieldAndBoundsTheName) {
  PlainEffect effect;
  VstSpeakerProperties from{};
  VstSpeakerProperties to{};
  fillSpeaker(&from, 2, "Left surround");
  EXPECT_TRUE(effect.copySpeaker(&to, &from));
  expectSameSpeaker(to, from);

  // A name filling the whole field without its NUL is cut to 63 characters.
  std::memset(from.name, 'n', sizeof(from.name));
  std::memset(to.name, 'x', sizeof(to.name));
  EXPECT_TRUE(effect.copySpeaker(&to, &from));
  EXPECT_EQ(std::string(to.name), std::string(63, 'n'));

  EXPECT_TRUE(effect.copySpeaker(&to, &to));
  EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
  EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}

// Aligned room for an arrangement of `count` speakers.
std::vector<double> arrangementStorage(VstInt32 count) {
  return std::vector<double>(speakerArrangementSize(count) / sizeof(double) + 1);
}

TEST(MatchArrangement, CopiesTypeCountAndSpeakers) {
  std::vector<double> storage = arrangementStorage(3);
  auto* from = reinterpret_cast<VstSpeakerArrangement*>(storage.data());
  from->type = 7;
  from->numChannels = 3;
  const char* names[] = {"L", "R", "Centre"};
  for (int i = 0; i < 3; ++i) fillSpeaker(speakerAt(from, i), i, names[i]);

  PlainEffect effect;
  VstSpeakerArrangement* place = nullptr;
  ASSERT_TRUE(effect.allocateArrangement(&place, 5));
  ASSERT_TRUE(effect.matchArrangement(&place, from));
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->type, 7);
  EXPECT_EQ(place->numChannels, 3);
  for (int i = 0; i < 3; ++i) expectSameSpeaker(*speakerAt(place, i), *speakerAt(from, i));
  effect.deallocateArrangement(&place);
}

TEST(MatchArrangement, FromNoChannelsGivesAnEmptyArrangementOfTheSameType) {
  VstSpeakerArrangement from{};
  from.type = 12;
  from.numChannels = 0;
  PlainEffect effect;
  VstSpeakerArrangement* place = nullptr;
  ASSERT_TRUE(effect.matchArrangement(&place, &from));
  ASSERT_NE(place, nullptr);
  EXPECT_EQ(place->type, 12);
  EXPECT_EQ(place->numChannels, 0);
  effect.deallocateArrangement(&place);
}

TEST(MatchArrangement, RefusesMissingOrImpossibleSources) {
  PlainEffect effect;
  VstSpeakerArrangement* place = nullptr;
  EXPECT_FALSE(effect.matchArrangement(&place, nullptr));

  VstSpeakerArrangement negative{};
  negative.numChannels = -2;
  ASSERT_TRUE(effect.allocateArrangement(&place, 1));
  EXPECT_FALSE(effect.matchArrangement(&place, &negative));
  EXPECT_EQ(place, nullptr);

  VstSpeakerArrangement from{};
  EXPECT_FALSE(effect.matchArrangement(nullptr, &from));
}

TEST(MatchArrangement, MatchingAnArrangementToItselfKeepsIt) {
  PlainEffect effect;
  VstSpeakerArrangement* place = nullptr;
  ASSERT_TRUE(effect.allocateArrangement(&place, 2));
  place->type = 3;
  VstSpeakerArrangement* before = place;
  EXPECT_TRUE(effect.matchArrangement(&place, place));
  EXPECT_EQ(place, before);
  EXPECT_EQ(place->type, 3);
  EXPECT_EQ(place->numChannels, 2);
  effect.deallocateArrangement(&place);
}

// Counts the helpers matchArrangement reaches through the operation table and
// can be told to fail one of them.
class CountingEffect : public PlainEffect {
 public:
  std::vector<std::string> calls;
  int failCopyAt = -1;
  bool failAllocate = false;

  bool allocateArrangement(VstSpeakerArrangement** place, VstInt32 count) override {
    calls.push_back("allocate(" + std::to_string(count) + ")");
    return !failAllocate && PlainEffect::allocateArrangement(place, count);
  }
  bool deallocateArrangement(VstSpeakerArrangement** place) override {
    calls.push_back("deallocate");
    return PlainEffect::deallocateArrangement(place);
  }
  bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) override {
    const int index = copies++;
    calls.push_back("copy");
    return index != failCopyAt && PlainEffect::copySpeaker(to, from);
  }

 private:
  int copies = 0;
};

TEST(MatchArrangement, GoesThroughTheOperationTableAndStopsAtTheFirstFailure) {
  std::vector<double> storage = arrangementStorage(3);
  auto* from = reinterpret_cast<VstSpeakerArrangement*>(storage.data());
  from->numChannels = 3;

  {
    CountingEffect effect;
    VstSpeakerArrangement* place = nullptr;
    EXPECT_TRUE(effect.matchArrangement(&place, from));
    EXPECT_EQ(effect.calls,
              (std::vector<std::string>{"deallocate", "allocate(3)", "copy", "copy", "copy"}));
    effect.deallocateArrangement(&place);
  }
  {
    CountingEffect effect;
    effect.failCopyAt = 1;
    VstSpeakerArrangement* place = nullptr;
    EXPECT_FALSE(effect.matchArrangement(&place, from));
    EXPECT_EQ(effect.calls,
              (std::vector<std::string>{"deallocate", "allocate(3)", "copy", "copy"}));
    effect.deallocateArrangement(&place);
  }
  {
    CountingEffect effect;
    effect.failAllocate = true;
    VstSpeakerArrangement* place = nullptr;
    EXPECT_FALSE(effect.matchArrangement(&place, from));
    EXPECT_EQ(effect.calls, (std::vector<std::string>{"deallocate", "allocate(3)"}));
    EXPECT_EQ(place, nullptr);
  }
}

TEST(GetSpeakerArrangement, EmptiesBothPlacesAndSkipsMissingOnes) {
  PlainEffect effect;
  VstSpeakerArrangement dummy{};
  VstSpeakerArrangement* input = &dummy;
  VstSpeakerArrangement* output = &dummy;
  EXPECT_FALSE(effect.getSpeakerArrangement(&input, &output));
  EXPECT_EQ(input, nullptr);
  EXPECT_EQ(output, nullptr);

  input = &dummy;
  EXPECT_FALSE(effect.getSpeakerArrangement(&input, nullptr));
  EXPECT_EQ(input, nullptr);
  output = &dummy;
  EXPECT_FALSE(effect.getSpeakerArrangement(nullptr, &output));
  EXPECT_EQ(output, nullptr);

  // Through the dispatcher value carries the input place and ptr the output one.
  input = &dummy;
  output = &dummy;
  EXPECT_EQ(effect.dispatcher(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input),
                              &output, 0.0f),
            0);
  EXPECT_EQ(input, nullptr);
  EXPECT_EQ(output, nullptr);
}

}  // namespace
