// Start-up and shut-down of the bridge: configuration, registry, engine
// library, engine objects in order, and what the host sees afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

#include "bridge_test.h"

using testengine::Op;

namespace {

const char* const kRegistryError =
    "Registry error\nPlease ensure this product has been installed properly";
const char* const kRegistryReadError =
    "Registry read error\nPlease ensure this product has been installed properly";

// The flags of an effect whose engine loaded: editor, mono, replacing, chunks;
// a synth's add IsSynth, and an engine without a view leaves out the editor.
constexpr VstInt32 kLoadedFlags =
    effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing | effFlagsProgramChunks;
constexpr VstInt32 kLoadedSynthFlags = kLoadedFlags | effFlagsIsSynth;
constexpr VstInt32 kLoadedFlagsWithoutEditor = kLoadedFlags & ~effFlagsHasEditor;
static_assert(kLoadedFlags == 57 && kLoadedSynthFlags == 313 && kLoadedFlagsWithoutEditor == 56,
              "the numbers hosts see");

// Ops without the parameter traffic of the map build.
std::vector<Op> withoutDescriptions(const std::vector<Op>& ops) {
  std::vector<Op> kept;
  for (Op op : ops) {
    if (op != Op::GetParameterInfo) kept.push_back(op);
  }
  return kept;
}

void expectBaseDefaults(const AEffect* effect) {
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->magic, kEffectMagic);
  EXPECT_EQ(effect->numPrograms, 1);
  EXPECT_EQ(effect->numParams, 1);
  EXPECT_EQ(effect->numInputs, 1);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(effect->flags, 0);
  EXPECT_EQ(effect->uniqueID, kDefaultUniqueId);
  EXPECT_EQ(effect->version, 1);
  EXPECT_EQ(effect->ioRatio, 1.0f);
  EXPECT_EQ(effect->initialDelay, 0);
  EXPECT_EQ(effect->resvd1, 0);
  EXPECT_EQ(effect->resvd2, 0);
  EXPECT_EQ(effect->user, nullptr);
  EXPECT_NE(effect->object, nullptr);
  EXPECT_NE(effect->dispatcher, nullptr);
  EXPECT_NE(effect->process, nullptr);
  EXPECT_NE(effect->processReplacing, nullptr);
  EXPECT_NE(effect->setParameter, nullptr);
  EXPECT_NE(effect->getParameter, nullptr);
  for (char byte : effect->future) EXPECT_EQ(byte, 0);
}

using BridgeLoading = BridgeTest;

TEST_F(BridgeLoading, MainGivesNothingToAHostOfVersionZero) {
  host.answer(audioMasterVersion, 0);
  EXPECT_EQ(harness.open(host), nullptr);
  EXPECT_EQ(engine().callCount, 0);
  ASSERT_EQ(host.calls().size(), 1u);
  EXPECT_EQ(host.calls()[0].effect, nullptr);
  EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
}

TEST_F(BridgeLoading, MainGivesNothingWithoutAHostCallback) {
  EXPECT_EQ(harness.openWith(nullptr), nullptr);
  EXPECT_EQ(engine().callCount, 0);
}

TEST_F(BridgeLoading, LoadedEffectReportsConfigurationAndEngine) {
  harness.setIni("KEL", "ChannelsIn", "1");
  harness.setIni("KEL", "ChannelsOut", "4");
  harness.setIni("KEL", "ID", "5678");
  harness.setIni("KEL", "ProcessIndex", "3");
  engine().parameterCount = 3;
  engine().parameters[1].automatable = 0;
  engine().parameters[2].automatable = 7;

  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->numPrograms, 1);
  EXPECT_EQ(effect->numParams, 2);
  EXPECT_EQ(effect->numInputs, 1);
  EXPECT_EQ(effect->numOutputs, 4);
  EXPECT_EQ(effect->uniqueID, 5678);
  EXPECT_EQ(effect->flags, kLoadedFlags);
  EXPECT_EQ(engine().processIndexSeen, 3);
  EXPECT_EQ(engine().inputCount, 1);
  EXPECT_EQ(engine().outputCount, 4);
  EXPECT_TRUE(harness.errorBoxes().empty());
  EXPECT_EQ(harness.close(), 1);
}

TEST_F(BridgeLoading, EngineThatTakesMidiMakesASynth) {
  engine().flags = 2 | 1 | 8;
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->flags, kLoadedSynthFlags);
  EXPECT_EQ(harness.dispatch(effGetPlugCategory), kPlugCategSynth);
}

TEST_F(BridgeLoading, MissingChannelsAndIdTakeDefaults) {
  harness.setIni("KEL", "ChannelsIn", "");
  harness.setIni("KEL", "ChannelsOut", "");
  harness.setIni("KEL", "ID", "");
  engine().defaultOutputCount = 6;
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->numInputs, 0);
  EXPECT_EQ(effect->numOutputs, 6);
  EXPECT_EQ(effect->uniqueID, 0);
}

TEST_F(BridgeLoading, UnusableChannelCountsAreReadAsZero) {
  harness.setIni("KEL", "ChannelsIn", "-3");
  harness.setIni("KEL", "ChannelsOut", "many");
  engine().defaultOutputCount = 2;
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->numInputs, 0);
  EXPECT_EQ(effect->numOutputs, 2);
  EXPECT_EQ(engine().inputCount, 0);
}

TEST_F(BridgeLoading, NegativeEngineDefaultOutputCountIsZero) {
  harness.setIni("KEL", "ChannelsOut", "0");
  engine().defaultOutputCount = -2;
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->numOutputs, 0);
}

TEST_F(BridgeLoading, EngineCallsFollowTheLifecycleOrder) {
  harness.setIni("KEL", "ChannelsOut", "0");
  engine().parameterCount = 2;
  ASSERT_NE(harness.open(host), nullptr);
  const std::vector<Op> construction = {
      Op::KelMain,       Op::CreateProcessor,       Op::CreateView,
      Op::GetFlags,      Op::GetDefaultOutputCount, Op::GetParameterCount,
      Op::SetInputCount, Op::SetOutputCount,        Op::Initialize,
      Op::Activate};
  EXPECT_EQ(withoutDescriptions(opsSince(0)), construction);
  EXPECT_EQ(engine().liveObjects, 3);

  const int before = engine().callCount;
  EXPECT_EQ(harness.close(), 1);
  const std::vector<Op> destruction = {Op::ViewRelease, Op::Deactivate, Op::Terminate,
                                       Op::ProcessorRelease, Op::ModuleRelease};
  EXPECT_EQ(opsSince(before), destruction);
  EXPECT_EQ(engine().liveObjects, 0);
}

TEST_F(BridgeLoading, EngineLibraryIsUnloadedAfterClose) {
  harness.usePrivateEngineCopy("PrivateEngine.dll");
  ASSERT_NE(harness.open(host), nullptr);
  EXPECT_TRUE(harness.privateEngineLoaded());
  EXPECT_EQ(harness.close(), 1);
  EXPECT_FALSE(harness.privateEngineLoaded());
}

// Without a processor the engine is given back at once; a library without
// kelMain stays loaded until the effect closes. (Under Windows a private copy
// of the engine has a script block of its own, which the test cannot reach
// before the plug-in loads it, so the first half runs natively only.)
TEST_F(BridgeLoading, FailedEnginesAreUnloadedAtTheirOwnMoment) {
#if !defined(_WIN32)
  {
    BridgeHarness installation;
    testengine::resetScript(engine());
    engine().nullProcessor = true;
    installation.usePrivateEngineCopy("NoProcessor.dll");
    ASSERT_NE(installation.open(host), nullptr);
    EXPECT_FALSE(installation.privateEngineLoaded());
    EXPECT_EQ(installation.close(), 1);
  }
#endif
  harness.useEngineWithoutEntry();
  ASSERT_NE(harness.open(host), nullptr);
  EXPECT_TRUE(harness.privateEngineLoaded());
  EXPECT_EQ(harness.close(), 1);
  EXPECT_FALSE(harness.privateEngineLoaded());
}

TEST_F(BridgeLoading, AcceptsEngineVersionsUpToFive) {
  for (std::int32_t version : {0, 3, 5}) {
    SCOPED_TRACE(version);
    BridgeHarness installation;
    testengine::resetScript(engine());
    engine().version = version;
    AEffect* effect = installation.open(host);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->flags, kLoadedFlags);
  }
}

TEST_F(BridgeLoading, RefusedVersionReleasesTheModuleSilently) {
  for (std::int32_t version : {6, -1, 0x7fffffff}) {
    SCOPED_TRACE(version);
    BridgeHarness installation;
    testengine::resetScript(engine());
    engine().version = version;
    expectBaseDefaults(installation.open(host));
    EXPECT_EQ(opsSince(0), (std::vector<Op>{Op::KelMain, Op::ModuleRelease}));
    EXPECT_EQ(engine().liveObjects, 0);
    EXPECT_TRUE(installation.errorBoxes().empty());
  }
}

// An engine that lets an exception out while the effect is set up is an
// engine that did not load: every object it made is released, and the host
// gets the base defaults instead of a crash in the unloaded engine's code.
// A 32-bit engine's exception never reaches the plug-in (see README).
TEST_F(BridgeLoading, EngineThrowingDuringSetUpLeavesBaseDefaults) {
#if defined(_WIN32) && !defined(_WIN64)
  GTEST_SKIP() << "a 32-bit engine's exception ends the host process";
#endif
  for (Op op : {Op::GetFlags, Op::GetParameterInfo, Op::Initialize, Op::Activate}) {
    SCOPED_TRACE(static_cast<int>(op));
    BridgeHarness installation;
    testengine::resetScript(engine());
    engine().throwsInOp = true;
    engine().throwingOp = op;
    expectBaseDefaults(installation.open(host));
    EXPECT_EQ(engine().liveObjects, 0);
    EXPECT_TRUE(installation.errorBoxes().empty());
    EXPECT_EQ(installation.close(), 1);
  }
}

// Every broken installation leaves a usable effect with the base defaults;
// only the two registry failures say so, with their own box.
struct BrokenInstallation {
  const char* what;
  std::function<void(BridgeHarness&, testengine::Script&)> breakIt;
  const char* box;  // null: silent
};

TEST_F(BridgeLoading, BrokenInstallationsFallBackToBaseDefaults) {
  const BrokenInstallation cases[] = {
      {"no product key", [](BridgeHarness& h, testengine::Script&) { h.uninstallProduct(); },
       kRegistryError},
      {"no PathName", [](BridgeHarness& h, testengine::Script&) { h.installProductKeyOnly(); },
       kRegistryReadError},
      {"PathName longer than a path",
       [](BridgeHarness& h, testengine::Script&) { h.setPathNameBytes(std::string(300, 'x')); },
       kRegistryReadError},
      {"missing engine library",
       [](BridgeHarness& h, testengine::Script&) { h.useMissingEngine(); }, nullptr},
      {"library without kelMain",
       [](BridgeHarness& h, testengine::Script&) { h.useEngineWithoutEntry(); }, nullptr},
      {"null module", [](BridgeHarness&, testengine::Script& s) { s.kelMainReturnsNull = true; },
       nullptr},
      {"null processor", [](BridgeHarness&, testengine::Script& s) { s.nullProcessor = true; },
       nullptr},
  };
  for (const BrokenInstallation& broken : cases) {
    SCOPED_TRACE(broken.what);
    BridgeHarness installation;
    testengine::resetScript(engine());
    installation.setIni("VST", "Name", "Verb");
    installation.setIni("KEL", "ChannelsOut", "6");
    const std::size_t boxesBefore = installation.errorBoxes().size();
    broken.breakIt(installation, engine());
    AEffect* effect = installation.open(host);
    expectBaseDefaults(effect);
    std::vector<std::string> boxes = installation.errorBoxes();
    boxes.erase(boxes.begin(), boxes.begin() + static_cast<std::ptrdiff_t>(boxesBefore));
    if (broken.box == nullptr) {
      EXPECT_TRUE(boxes.empty());
    } else {
      EXPECT_EQ(boxes, std::vector<std::string>{broken.box});
    }
    EXPECT_EQ(engine().liveObjects, 0);

    // A host can still use every request without reaching an engine.
    char text[kHostTextSize + 8];
    std::memset(text, '#', sizeof text);
    installation.dispatch(effGetParamName, 0, 0, text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
    effect->setParameter(effect, 0, 0.5f);
    EXPECT_EQ(installation.dispatch(effEditGetRect, 0, 0, nullptr), 0);
    // Pins and product follow the record, not the .ini file the load left.
    std::memset(text, '#', sizeof text);
    installation.dispatch(effGetProductString, 0, 0, text);
    EXPECT_STREQ(text, "");
    VstPinProperties pin{};
    EXPECT_EQ(installation.dispatch(effGetOutputProperties, effect->numOutputs - 1, 0, &pin), 1);
    EXPECT_EQ(installation.dispatch(effGetOutputProperties, effect->numOutputs, 0, &pin), 0);
    void* chunk = reinterpret_cast<void*>(1);
    EXPECT_EQ(installation.dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, nullptr);
    float left[4] = {1, 1, 1, 1}, right[4] = {1, 1, 1, 1};
    float* outputs[2] = {left, right};
    effect->processReplacing(effect, outputs, outputs, 4);
    EXPECT_EQ(left[3], 0.0f);
    EXPECT_EQ(right[0], 0.0f);
    // No engine takes the events or the idle time: both answer "not handled".
    VstMidiEvent note{};
    note.type = kVstMidiType;
    note.byteSize = sizeof note;
    VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&note);
    EXPECT_EQ(installation.dispatch(effProcessEvents, 0, 0, &events), 0);
    EXPECT_EQ(installation.dispatch(effIdle), 0);
    EXPECT_EQ(installation.close(), 1);
  }
}

#if defined(_WIN32)
// No process loads a DLL of the other width: a silent load failure, as for
// any other library the bridge cannot load.
TEST_F(BridgeLoading, EngineOfTheOtherWidthIsALoadFailure) {
  std::string error;
  ASSERT_TRUE(harness.useEngineOfTheOtherWidth(&error)) << error;
  expectBaseDefaults(harness.open(host));
  EXPECT_TRUE(harness.errorBoxes().empty());
  EXPECT_EQ(engine().callCount, 0);
  EXPECT_FALSE(harness.privateEngineLoaded());
}
#endif

TEST_F(BridgeLoading, UnterminatedPathNameStillNamesTheEngine) {
  harness.installProductUnterminated();
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->flags, kLoadedFlags);
}

TEST_F(BridgeLoading, EmptyGuidReadsThePathFromTheKelKeyItself) {
  harness.setIni("KEL", "GUID", "");
  harness.installProductAtKelRoot();
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->flags, kLoadedFlags);
  EXPECT_TRUE(harness.errorBoxes().empty());
}

TEST_F(BridgeLoading, NullViewGivesAnEffectWithoutEditor) {
  engine().nullView = true;
  AEffect* effect = harness.open(host);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->flags, kLoadedFlagsWithoutEditor);
  ERect* rect = reinterpret_cast<ERect*>(1);
  EXPECT_EQ(harness.dispatch(effEditGetRect, 0, 0, &rect), 0);
  EXPECT_EQ(harness.dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(harness.close(), 1);
  EXPECT_EQ(engine().liveObjects, 0);
}

TEST_F(BridgeLoading, CopiesUnderOtherNamesReadTheirOwnConfiguration) {
  BridgeHarness second("Second.Effect", "folder.with.dots");
  harness.setIni("VST", "Name", "First");
  harness.setIni("KEL", "ID", "111");
  second.setIni("VST", "Name", "Second");
  second.setIni("KEL", "ID", "222");
  second.setIni("KEL", "ChannelsOut", "1");

  AEffect* first = harness.open(host);
  AEffect* other = second.open(host);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(first->uniqueID, 111);
  EXPECT_EQ(other->uniqueID, 222);
  EXPECT_EQ(other->numOutputs, 1);
  char text[kHostTextSize];
  harness.dispatch(effGetProductString, 0, 0, text);
  EXPECT_STREQ(text, "First");
  second.dispatch(effGetProductString, 0, 0, text);
  EXPECT_STREQ(text, "Second");
  EXPECT_EQ(second.close(), 1);
  EXPECT_EQ(harness.close(), 1);
}

TEST_F(BridgeLoading, NameIsCutAtSixtyThreeCharacters) {
  harness.setIni("VST", "Name", std::string(100, 'n'));
  ASSERT_NE(harness.open(host), nullptr);
  char text[128];
  std::memset(text, '#', sizeof text);
  harness.dispatch(effGetProductString, 0, 0, text);
  EXPECT_EQ(std::strlen(text), 63u);
}

}  // namespace

#if defined(_WIN32)
namespace {
// The boxes go to the real MessageBoxA: no owner, the default caption, and
// task-modal foreground style.
TEST(BridgeErrorBoxes, HaveNoOwnerNoCaptionAndTaskModalStyle) {
  BridgeTestHost host;
  BridgeHarness harness;
  harness.uninstallProduct();
  ASSERT_NE(harness.open(host), nullptr);
  const std::vector<std::string> details = harness.errorBoxDetails();
  ASSERT_EQ(details.size(), 1u);
  const std::string nullPointer = [] {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
    return std::string(text);
  }();
  EXPECT_EQ(details[0], nullPointer + " " + nullPointer + " 12000");
}
}  // namespace
#endif
