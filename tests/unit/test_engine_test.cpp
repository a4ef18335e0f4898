// Drives the scriptable test engine in-process through the kel interfaces,
// as the bridge does, and checks what it records and answers.
#include "test_engine/test_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using testengine::Op;

// Records each parameterChanged together with the engine operation that was
// running, to prove the notice comes from inside that operation.
class RecordingHost final : public kel::IHost {
 public:
  struct Notice {
    std::int32_t index;
    Op during;
  };
  std::vector<Notice> notices;

  std::int32_t getVersion() override { return 5; }
  void parameterChanged(std::int32_t engineIndex) override {
    const testengine::Script& s = testEngineScriptRef();
    notices.push_back({engineIndex, s.calls[s.callCount - 1].op});
  }
  double getTempo() override { return 0.0; }
  std::int32_t getHostFlag() override { return 1; }
};

struct Expected {
  Op op;
  std::int32_t a;
  std::int32_t b;
  float f;
  std::uintptr_t p;
};

std::uintptr_t addressOf(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p);
}

class TestEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    testengine::resetScript(script);
    ASSERT_EQ(script.liveObjects, 0);
  }

  // Opens module, processor and view and forgets their calls.
  void open() {
    std::int32_t version = -1;
    module = testEngineMain(&host, &version);
    ASSERT_NE(module, nullptr);
    processor = module->createProcessor(0);
    ASSERT_NE(processor, nullptr);
    view = module->createView(processor);
    ASSERT_NE(view, nullptr);
    script.callCount = 0;
  }

  void TearDown() override {
    if (view != nullptr) view->release();
    if (processor != nullptr) processor->release();
    if (module != nullptr) module->release();
    EXPECT_EQ(script.liveObjects, 0);
  }

  void expectCalls(const std::vector<Expected>& expected) {
    ASSERT_EQ(script.callCount, static_cast<std::int32_t>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const testengine::Call& c = script.calls[i];
      EXPECT_EQ(c.op, expected[i].op) << "call " << i;
      EXPECT_EQ(c.a, expected[i].a) << "call " << i;
      EXPECT_EQ(c.b, expected[i].b) << "call " << i;
      EXPECT_EQ(c.f, expected[i].f) << "call " << i;
      EXPECT_EQ(c.p, expected[i].p) << "call " << i;
    }
  }

  testengine::Script& script = testEngineScriptRef();
  RecordingHost host;
  kel::IModule* module = nullptr;
  kel::IProcessor* processor = nullptr;
  kel::IView* view = nullptr;
};

TEST_F(TestEngine, LifecycleIsLoggedInOrderWithArguments) {
  std::int32_t version = -1;
  module = testEngineMain(&host, &version);
  EXPECT_EQ(version, 5);
  EXPECT_EQ(script.host, &host);
  processor = module->createProcessor(3);
  view = module->createView(processor);
  EXPECT_EQ(script.liveObjects, 3);
  EXPECT_EQ(script.processIndexSeen, 3);
  processor->getFlags();
  processor->setInputCount(2);
  processor->setOutputCount(4);
  processor->initialize();
  processor->activate();
  processor->setSampleRate(44100.0f);
  processor->setBlockSize(512);
  processor->idle();
  view->update();
  view->idle();
  view->close();
  view->release();
  view = nullptr;
  processor->deactivate();
  processor->terminate();
  processor->release();
  kel::IProcessor* released = processor;
  processor = nullptr;
  module->release();
  module = nullptr;

  expectCalls({
      {Op::KelMain, 0, 0, 0.0f, addressOf(&host)},
      {Op::CreateProcessor, 3, 0, 0.0f, 0},
      {Op::CreateView, 0, 0, 0.0f, addressOf(released)},
      {Op::GetFlags, 0, 0, 0.0f, 0},
      {Op::SetInputCount, 2, 0, 0.0f, 0},
      {Op::SetOutputCount, 4, 0, 0.0f, 0},
      {Op::Initialize, 0, 0, 0.0f, 0},
      {Op::Activate, 0, 0, 0.0f, 0},
      {Op::SetSampleRate, 0, 0, 44100.0f, 0},
      {Op::SetBlockSize, 512, 0, 0.0f, 0},
      {Op::ProcessorIdle, 0, 0, 0.0f, 0},
      {Op::ViewUpdate, 0, 0, 0.0f, 0},
      {Op::ViewIdle, 0, 0, 0.0f, 0},
      {Op::ViewClose, 0, 0, 0.0f, 0},
      {Op::ViewRelease, 0, 0, 0.0f, 0},
      {Op::Deactivate, 0, 0, 0.0f, 0},
      {Op::Terminate, 0, 0, 0.0f, 0},
      {Op::ProcessorRelease, 0, 0, 0.0f, 0},
      {Op::ModuleRelease, 0, 0, 0.0f, 0},
  });
  EXPECT_EQ(script.inputCount, 2);
  EXPECT_EQ(script.outputCount, 4);
  EXPECT_TRUE(host.notices.empty());
}

TEST_F(TestEngine, ScriptedRefusalsCreateNothing) {
  script.version = -7;
  script.kelMainReturnsNull = true;
  std::int32_t version = 0;
  EXPECT_EQ(testEngineMain(&host, &version), nullptr);
  EXPECT_EQ(version, -7);
  EXPECT_EQ(script.liveObjects, 0);

  script.kelMainReturnsNull = false;
  script.nullProcessor = true;
  script.nullView = true;
  module = testEngineMain(nullptr, nullptr);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module->createProcessor(9), nullptr);
  EXPECT_EQ(script.processIndexSeen, 9);
  EXPECT_EQ(module->createView(nullptr), nullptr);
  EXPECT_EQ(script.liveObjects, 1);
}

TEST_F(TestEngine, NoticesComeFromInsideTheScriptedOperations) {
  open();
  script.notifyIndex = 7;
  script.parameterCount = 8;
  kel::SParameterInfo info;

  struct Case {
    std::uint32_t moments;
    std::vector<RecordingHost::Notice> notices;
  } cases[] = {
      {testengine::kNotifyNever, {}},
      {testengine::kNotifyDuringBuild, {{7, Op::GetParameterInfo}}},
      {testengine::kNotifyDuringDeactivate, {{7, Op::Deactivate}}},
      {testengine::kNotifyDuringTerminate, {{7, Op::Terminate}}},
      {testengine::kNotifyOnIdle, {{7, Op::ProcessorIdle}}},
      {testengine::kNotifyDuringBuild | testengine::kNotifyOnIdle,
       {{7, Op::GetParameterInfo}, {7, Op::ProcessorIdle}}},
  };
  for (const Case& c : cases) {
    script.notifyMoments = c.moments;
    host.notices.clear();
    processor->getParameterInfo(6, &info);  // not the notify index
    processor->getParameterInfo(7, &info);
    processor->deactivate();
    processor->terminate();
    processor->idle();
    view->idle();
    ASSERT_EQ(host.notices.size(), c.notices.size()) << c.moments;
    for (std::size_t i = 0; i < c.notices.size(); ++i) {
      EXPECT_EQ(host.notices[i].index, c.notices[i].index) << c.moments;
      EXPECT_EQ(host.notices[i].during, c.notices[i].during) << c.moments;
    }
  }
}

TEST_F(TestEngine, NoticeWithoutHostIsSkipped) {
  module = testEngineMain(nullptr, nullptr);
  processor = module->createProcessor(0);
  script.notifyMoments = testengine::kNotifyOnIdle;
  processor->idle();
  EXPECT_EQ(script.calls[script.callCount - 1].op, Op::ProcessorIdle);
}

TEST_F(TestEngine, ParameterInfoPointsIntoTheScript) {
  open();
  testengine::ParameterScript& p = script.parameters[2];
  p.hasName = true;
  std::strcpy(p.name, "Cutoff");
  p.hasLabel = false;
  p.displayType = 1;
  p.minimum = -600;
  p.maximum = 120;
  p.decimals = 1;
  p.hasMinimumText = true;
  std::strcpy(p.minimumText, "Off");
  p.hasMaximumText = false;
  p.curve = 1;
  p.logBase = 0xFFFFFFFFu;
  p.hasValueNames = true;
  std::strcpy(p.valueNames, "A@B");
  p.automatable = 0x80;

  kel::SParameterInfo info;
  processor->getParameterInfo(2, &info);
  EXPECT_EQ(info.name, p.name);
  EXPECT_EQ(info.label, nullptr);
  EXPECT_EQ(info.displayType, 1);
  EXPECT_EQ(info.minimum, -600);
  EXPECT_EQ(info.maximum, 120);
  EXPECT_EQ(info.decimals, 1);
  EXPECT_EQ(info.minimumText, p.minimumText);
  EXPECT_EQ(info.maximumText, nullptr);
  EXPECT_EQ(info.curve, 1);
  EXPECT_EQ(info.logBase, 0xFFFFFFFFu);
  EXPECT_EQ(info.valueNames, p.valueNames);
  EXPECT_EQ(info.automatable, 0x80);
  EXPECT_EQ(info.unused24, 0);
}

TEST_F(TestEngine, UntouchedRecordForFillNothingAndUnknownIndexes) {
  open();
  script.parameters[0].fillNothing = true;
  for (std::int32_t index : {0, -1, testengine::kMaxParameters}) {
    kel::SParameterInfo info;
    info.minimum = 77;
    info.name = "keep";
    processor->getParameterInfo(index, &info);
    EXPECT_EQ(info.minimum, 77) << index;
    EXPECT_STREQ(info.name, "keep") << index;
    EXPECT_EQ(info.automatable, 0) << index;
  }
  expectCalls({{Op::GetParameterInfo, 0, 0, 0.0f, script.calls[0].p},
               {Op::GetParameterInfo, -1, 0, 0.0f, script.calls[1].p},
               {Op::GetParameterInfo, testengine::kMaxParameters, 0, 0.0f, script.calls[2].p}});
}

TEST_F(TestEngine, SetParameterStoresAndGetParameterAnswers) {
  open();
  processor->setParameter(3, -42);
  processor->setParameter(-1, 5);  // ignored, no crash
  EXPECT_EQ(script.parameters[3].value, -42);
  EXPECT_EQ(processor->getParameter(3), -42);
  EXPECT_EQ(processor->getParameter(testengine::kMaxParameters), 0);
  expectCalls({{Op::SetParameter, 3, -42, 0.0f, 0},
               {Op::SetParameter, -1, 5, 0.0f, 0},
               {Op::GetParameter, 3, 0, 0.0f, 0},
               {Op::GetParameter, testengine::kMaxParameters, 0, 0.0f, 0}});
}

TEST_F(TestEngine, ChunkRoundTrip) {
  open();
  const std::uint8_t state[] = {0x00, 0xFF, 0x10, 0x80, 0x7F};
  script.chunkSize = sizeof state;
  std::memcpy(script.chunk, state, sizeof state);

  std::uint8_t buffer[8];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(processor->getChunkSize(), 5);
  processor->getChunk(buffer);
  EXPECT_EQ(std::memcmp(buffer, state, sizeof state), 0);
  EXPECT_EQ(buffer[5], 0xEE) << "getChunk writes exactly chunkSize bytes";

  processor->setChunk(buffer, 5);
  EXPECT_EQ(script.lastChunkBytes, 5);
  EXPECT_EQ(std::memcmp(script.lastChunk, state, sizeof state), 0);

  expectCalls({{Op::GetChunkSize, 0, 0, 0.0f, 0},
               {Op::GetChunk, 0, 0, 0.0f, addressOf(buffer)},
               {Op::SetChunk, 5, 0, 0.0f, addressOf(buffer)}});
}

TEST_F(TestEngine, ProcessHalvesOnlyTheSharedChannels) {
  open();
  processor->setInputCount(1);
  processor->setOutputCount(2);
  float in0[3] = {1.0f, -2.0f, 0.5f};
  float out0[3] = {9.0f, 9.0f, 9.0f};
  float out1[3] = {9.0f, 9.0f, 9.0f};
  float* inputs[] = {in0};
  float* outputs[] = {out0, out1};
  std::int32_t zeroWord = 0;

  processor->process(outputs, inputs, 3, &zeroWord);  // halving off
  EXPECT_EQ(out0[0], 9.0f);

  script.processHalves = true;
  processor->process(outputs, inputs, 2, &zeroWord);
  EXPECT_EQ(out0[0], 0.5f);
  EXPECT_EQ(out0[1], -1.0f);
  EXPECT_EQ(out0[2], 9.0f) << "only `frames` samples";
  EXPECT_EQ(out1[0], 9.0f) << "no input for channel 1";
  EXPECT_EQ(script.lastOutputs, outputs);
  EXPECT_EQ(script.lastInputs, inputs);
  EXPECT_EQ(script.lastFrames, 2);
  EXPECT_EQ(script.lastZeroWord, 0);
  EXPECT_EQ(script.calls[3].op, Op::Process);
  EXPECT_EQ(script.calls[3].a, 2);
  EXPECT_EQ(script.calls[3].p, addressOf(outputs));
}

TEST_F(TestEngine, ProcessEventsKeepsTheFirstEvents) {
  open();
  std::vector<kel::SEvent> events(testengine::kRecordedEvents + 6);
  for (std::size_t i = 0; i < events.size(); ++i) {
    events[i] = {static_cast<std::int32_t>(i), {0x90, static_cast<std::uint8_t>(i), 0x7F, 0}};
  }
  processor->processEvents(events.data(), static_cast<std::int32_t>(events.size()));
  EXPECT_EQ(script.lastEventCount, testengine::kRecordedEvents + 6);
  const kel::SEvent& last = script.events[testengine::kRecordedEvents - 1];
  EXPECT_EQ(last.deltaFrames, testengine::kRecordedEvents - 1);
  EXPECT_EQ(last.midiData[1], testengine::kRecordedEvents - 1);
  EXPECT_EQ(script.calls[0].a, testengine::kRecordedEvents + 6);
  EXPECT_EQ(script.calls[0].p, addressOf(events.data()));
}

TEST_F(TestEngine, ViewAnswersSizeAndLogsOpen) {
  open();
  script.viewWidth = 640;
  std::int32_t width = 0;
  std::int32_t height = 0;
  view->getSize(&width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 300);
  int window = 0;
  view->open(&window, 0, 0);
  expectCalls({{Op::ViewGetSize, 0, 0, 0.0f, 0}, {Op::ViewOpen, 0, 0, 0.0f, addressOf(&window)}});
}

TEST_F(TestEngine, CallCountKeepsGrowingPastTheLog) {
  open();
  for (int i = 0; i < testengine::kMaxCalls + 10; ++i) processor->setBlockSize(i);
  EXPECT_EQ(script.callCount, testengine::kMaxCalls + 10);
  EXPECT_EQ(script.calls[testengine::kMaxCalls - 1].a, testengine::kMaxCalls - 1);
}

TEST_F(TestEngine, ResetRestoresDefaultsButKeepsLiveObjects) {
  open();
  script.version = 9;
  script.flags = 2;
  script.parameterCount = 40;
  script.parameters[0].automatable = 0;
  script.parameters[5].value = 3;
  script.notifyMoments = testengine::kNotifyOnIdle;
  processor->idle();

  testengine::resetScript(script);

  EXPECT_EQ(script.version, 5);
  EXPECT_EQ(script.flags, 0);
  EXPECT_EQ(script.defaultOutputCount, 2);
  EXPECT_EQ(script.viewWidth, 400);
  EXPECT_EQ(script.viewHeight, 300);
  EXPECT_EQ(script.notifyMoments, 0u);
  EXPECT_EQ(script.callCount, 0);
  EXPECT_EQ(script.parameterCount, 1);
  const testengine::ParameterScript& gain = script.parameters[0];
  EXPECT_TRUE(gain.hasName);
  EXPECT_STREQ(gain.name, "Gain");
  EXPECT_FALSE(gain.hasLabel);
  EXPECT_EQ(gain.minimum, 0);
  EXPECT_EQ(gain.maximum, 100);
  EXPECT_EQ(gain.decimals, 0);
  EXPECT_EQ(gain.curve, 0);
  EXPECT_EQ(gain.automatable, 1);
  EXPECT_FALSE(gain.fillNothing);
  EXPECT_EQ(script.parameters[5].value, 0);
  EXPECT_EQ(script.liveObjects, 3) << "module, processor and view are still alive";
}

}  // namespace
