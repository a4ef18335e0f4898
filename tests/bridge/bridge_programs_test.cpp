// The single program, the engine state as a chunk, identity strings, output
// pins and the editor, as a host sees them.
#include <gtest/gtest.h>

#include <cstring>

#include "bridge_test.h"

using testengine::Op;

namespace {

class BridgePrograms : public BridgeTest {
 protected:
  std::string textOf(VstInt32 opcode) { return hostText(opcode); }
};

TEST_F(BridgePrograms, ProgramIsCalledDefaultUntilRenamed) {
  open();
  EXPECT_EQ(textOf(effGetProgramName), "Default");
  char name[] = "Warm";
  EXPECT_EQ(harness.dispatch(effSetProgramName, 0, 0, name), 0);
  EXPECT_EQ(textOf(effGetProgramName), "Warm");
  const std::string longName(300, 'p');
  harness.dispatch(effSetProgramName, 0, 0, const_cast<char*>(longName.c_str()));
  EXPECT_EQ(textOf(effGetProgramName), std::string(63, 'p'));
  harness.dispatch(effSetProgramName, 0, 0, nullptr);
  EXPECT_EQ(textOf(effGetProgramName), std::string(63, 'p'));
  EXPECT_EQ(harness.dispatch(effGetProgram), 0);
}

TEST_F(BridgePrograms, ChunkSavedAndRestoredGivesTheEngineItsStateBack) {
  open();
  engine().chunkSize = 5;
  std::memcpy(engine().chunk, "\x01\x02\x03\x04\x05", 5);

  void* program = nullptr;
  ASSERT_EQ(harness.dispatch(effGetChunk, 1, 0, &program), 5);
  std::vector<unsigned char> saved(static_cast<unsigned char*>(program),
                                   static_cast<unsigned char*>(program) + 5);
  void* bank = nullptr;
  ASSERT_EQ(harness.dispatch(effGetChunk, 0, 0, &bank), 5);
  EXPECT_EQ(std::memcmp(bank, saved.data(), 5), 0);

  std::memcpy(engine().chunk, "\x09\x09\x09\x09\x09", 5);  // the engine state changes
  for (VstInt32 kind : {0, 1}) {
    SCOPED_TRACE(kind);
    engine().lastChunkBytes = -1;
    EXPECT_EQ(harness.dispatch(effSetChunk, kind, 5, saved.data()), 0);
    ASSERT_EQ(engine().lastChunkBytes, 5);
    EXPECT_EQ(std::memcmp(engine().lastChunk, saved.data(), 5), 0);
  }
}

TEST_F(BridgePrograms, EmptyOrMissingChunksGiveNothing) {
  open();
  engine().chunkSize = 0;
  void* data = reinterpret_cast<void*>(1);
  EXPECT_EQ(harness.dispatch(effGetChunk, 0, 0, &data), 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(harness.dispatch(effGetChunk, 0, 0, nullptr), 0);

  const int calls = engine().callCount;
  EXPECT_EQ(harness.dispatch(effSetChunk, 0, 4, nullptr), 0);
  unsigned char byte = 1;
  EXPECT_EQ(harness.dispatch(effSetChunk, 0, -4, &byte), 0);
  EXPECT_EQ(engine().callCount, calls);
}

#if defined(_WIN32) && !defined(_WIN64)
// A 32-bit host process cannot find 2 GiB in one piece: the host gets no
// block and size 0, and the engine is never asked to fill anything.
TEST_F(BridgePrograms, ChunkTooLargeToAllocateGivesNothing) {
  open();
  engine().chunkSize = 0x7fffffff;
  void* data = reinterpret_cast<void*>(1);
  EXPECT_EQ(harness.dispatch(effGetChunk, 0, 0, &data), 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(newOps(), std::vector<Op>{Op::GetChunkSize});
}
#endif

TEST_F(BridgePrograms, IdentityStrings) {
  harness.setIni("VST", "Name", "Verb");
  open();
  EXPECT_EQ(textOf(effGetVendorString), "Velmora");
  EXPECT_EQ(textOf(effGetProductString), "Verb");
  EXPECT_EQ(harness.dispatch(effGetEffectName, 0, 0, nullptr), 0);
  EXPECT_EQ(harness.dispatch(effGetVendorVersion), 0);
  EXPECT_EQ(harness.dispatch(effSetViewPosition, 10, 20), 0);
  EXPECT_EQ(harness.dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent")), 0);
}

// The optional vendor keys replace both answers; an empty Vendor= is no
// vendor, and a failed load still answers with the configured name.
TEST(BridgeVendor, ConfiguredVendorIsAnsweredInsteadOfTheDefault) {
  const std::string longest(63, 'V');
  const struct {
    const char* vendor;
    const char* version;
    bool installed;
    std::string text;
    VstIntPtr number;
  } cases[] = {
      {"Acme Audio", "20301", true, "Acme Audio", 20301},
      {longest.c_str(), "2147483647", true, longest, 2147483647},
      {"", "", true, "Velmora", 0},
      {"Acme Audio", "", false, "Acme Audio", 0},
  };
  BridgeTestHost host;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.vendor) + " " + c.version);
    BridgeHarness harness;
    testengine::resetScript(harness.engine());
    harness.setIni("VST", "Vendor", c.vendor);
    harness.setIni("VST", "VendorVersion", c.version);
    if (!c.installed) harness.uninstallProduct();
    ASSERT_NE(harness.open(host), nullptr);
    char text[kHostTextSize + 8];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(harness.dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_EQ(std::string(text), c.text);
    EXPECT_EQ(text[kHostTextSize], '#');
    EXPECT_EQ(harness.dispatch(effGetVendorVersion), c.number);
    harness.close();
  }
}

struct PinCase {
  const char* name;
  const char* outputs;
  VstInt32 index;
  bool filled;
  const char* label;
  VstInt32 flags;
  VstInt32 arrangement;
};

TEST(BridgePins, OutputPinsAreLabelledByChannelPairs) {
  const std::string longName(63, 'L');
  const PinCase cases[] = {
      {"Verb", "2", 0, true, "Verb 1", 3, 1},  {"Verb", "2", 1, true, "Verb 1", 3, 1},
      {"Verb", "4", 2, true, "Verb 2", 3, 1},  {"Verb", "4", 3, true, "Verb 2", 3, 1},
      {"Verb", "3", 2, true, "Verb 2", 3, 1},  {"Verb", "1", 0, true, "Verb 1", 1, 0},
      {"", "1", 0, true, " 1", 1, 0},          {"Verb", "2", 2, false, nullptr, 0, 0},
      {"Verb", "2", -1, false, nullptr, 0, 0}, {longName.c_str(), "2", 0, true, nullptr, 3, 1},
  };
  BridgeTestHost host;
  for (const PinCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.outputs + " " + std::to_string(c.index));
    BridgeHarness harness;
    testengine::resetScript(harness.engine());
    harness.setIni("VST", "Name", c.name);
    harness.setIni("KEL", "ChannelsOut", c.outputs);
    ASSERT_NE(harness.open(host), nullptr);
    VstPinProperties pin;
    std::memset(&pin, 0x5A, sizeof pin);
    EXPECT_EQ(harness.dispatch(effGetOutputProperties, c.index, 0, &pin), c.filled ? 1 : 0);
    if (!c.filled) {
      EXPECT_EQ(pin.flags, 0x5A5A5A5A);
      continue;
    }
    EXPECT_EQ(pin.flags, c.flags);
    EXPECT_EQ(pin.arrangementType, c.arrangement);
    ASSERT_LT(strnlen(pin.label, sizeof pin.label), sizeof pin.label);
    if (c.label != nullptr) {
      EXPECT_STREQ(pin.label, c.label);
    }
    EXPECT_EQ(pin.shortLabel[0], 0x5A);  // fields the bridge does not fill stay as given
  }
}

TEST_F(BridgePrograms, EditorForwardsToTheEngineView) {
  engine().viewWidth = 400;
  engine().viewHeight = 300;
  AEffect* effect = open();
  EXPECT_EQ(effect->flags & effFlagsHasEditor, effFlagsHasEditor);

  ERect* rect = nullptr;
  EXPECT_EQ(harness.dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 300);
  EXPECT_EQ(rect->right, 400);

  engine().viewWidth = 65536 + 300;
  engine().viewHeight = 320;
  EXPECT_EQ(harness.dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right, 300);
  EXPECT_EQ(rect->bottom, 320);

  const int firstCall = engine().callCount;
  void* window = reinterpret_cast<void*>(0x1234);
  EXPECT_EQ(harness.dispatch(effEditClose), 0);
  EXPECT_EQ(harness.dispatch(effEditOpen, 0, 0, window), 1);
  EXPECT_EQ(harness.dispatch(effEditIdle), 0);
  EXPECT_EQ(harness.dispatch(effEditKeyDown, 'a', 0x41), -1);
  EXPECT_EQ(harness.dispatch(effSetEditKnobMode, 0, 2), 0);
  const std::vector<Op> expected = {Op::ViewClose, Op::ViewOpen, Op::ViewIdle};
  std::vector<Op> seen;
  for (int i = firstCall; i < engine().callCount; ++i) seen.push_back(engine().calls[i].op);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(engine().calls[firstCall + 1].p, reinterpret_cast<std::uintptr_t>(window));
  EXPECT_EQ(engine().calls[firstCall + 1].a, 0);
  EXPECT_EQ(engine().calls[firstCall + 1].b, 0);
}

}  // namespace
