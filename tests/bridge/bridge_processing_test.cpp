// Audio, MIDI, processing state, idle time and the engine's calls back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bridge_test.h"
#include "vst/audio_effect.h"

using testengine::Op;

namespace {

// A VstEvents block with room for `count` event pointers.
class EventBlock {
 public:
  explicit EventBlock(std::int32_t count)
      : events(static_cast<std::size_t>(count > 0 ? count : 0)),
        storage(offsetof(VstEvents, events) + sizeof(VstEvent*) * events.size() +
                sizeof(VstEvents)) {
    block()->numEvents = count;
    for (std::size_t i = 0; i < events.size(); ++i) {
      VstMidiEvent& event = events[i];
      std::memset(&event, 0, sizeof event);
      event.type = kVstMidiType;
      event.byteSize = sizeof event;
      event.deltaFrames = static_cast<VstInt32>(i % 512);
      event.midiData[0] = static_cast<char>(0x90);
      event.midiData[1] = static_cast<char>(i % 128);
      event.midiData[2] = 100;
      event.midiData[3] = 7;
      pointers()[i] = reinterpret_cast<VstEvent*>(&event);
    }
  }
  VstEvents* block() { return reinterpret_cast<VstEvents*>(storage.data()); }
  VstEvent** pointers() { return block()->events; }
  std::vector<VstMidiEvent> events;

 private:
  std::vector<unsigned char> storage;
};

using BridgeProcessing = BridgeTest;

TEST_F(BridgeProcessing, BothAudioEntriesHandTheHostArraysToTheEngine) {
  engine().processHalves = true;
  AEffect* effect = open();
  float inLeft[8], inRight[8], outLeft[8], outRight[8];
  for (int i = 0; i < 8; ++i) {
    inLeft[i] = static_cast<float>(i);
    inRight[i] = -static_cast<float>(i);
  }
  float* inputs[2] = {inLeft, inRight};
  float* outputs[2] = {outLeft, outRight};

  using Entry = void(VSTCALLBACK*)(AEffect*, float**, float**, VstInt32);
  for (Entry entry : {effect->process, effect->processReplacing}) {
    std::fill(outLeft, outLeft + 8, 9.0f);
    std::fill(outRight, outRight + 8, 9.0f);
    engine().lastZeroWord = -1;
    entry(effect, inputs, outputs, 8);
    EXPECT_EQ(engine().lastOutputs, outputs);
    EXPECT_EQ(engine().lastInputs, inputs);
    EXPECT_EQ(engine().lastFrames, 8);
    EXPECT_EQ(engine().lastZeroWord, 0);
    EXPECT_EQ(outLeft[6], 3.0f);
    EXPECT_EQ(outRight[6], -3.0f);
  }
}

// An engine that throws never unwinds into the host: each of the five
// entries of the record ends the exception with its neutral answer, and the
// effect still closes and gives every engine object back.
TEST_F(BridgeProcessing, EngineExceptionsEndAtEveryEntry) {
#if defined(_WIN32) && !defined(_WIN64)
  // Each 32-bit library's runtime unwinds only through frames it registered
  // itself: an engine's exception ends the process before reaching the
  // plug-in's frames, whatever the plug-in catches.
  GTEST_SKIP() << "a 32-bit engine's exceptions cannot cross into the plug-in";
#endif
  struct Case {
    const char* entry;
    Op throwingOp;
    std::function<float(AEffect*)> call;  // the entry's answer, 0 for none
    float neutralAnswer;
  };
  static float left[16], right[16];
  static float* channels[2] = {left, right};
  const Case cases[] = {
      {"dispatcher", Op::GetChunkSize,
       [](AEffect* e) {
         void* chunk = nullptr;
         return static_cast<float>(e->dispatcher(e, effGetChunk, 0, 0, &chunk, 0.0f));
       },
       0.0f},
      {"process", Op::Process,
       [](AEffect* e) {
         e->process(e, channels, channels, 16);
         return 0.0f;
       },
       0.0f},
      {"processReplacing", Op::Process,
       [](AEffect* e) {
         e->processReplacing(e, channels, channels, 16);
         return 0.0f;
       },
       0.0f},
      {"setParameter", Op::SetParameter,
       [](AEffect* e) {
         e->setParameter(e, 0, 0.25f);
         return 0.0f;
       },
       0.0f},
      {"getParameter", Op::GetParameter, [](AEffect* e) { return e->getParameter(e, 0); }, 0.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    testengine::resetScript(engine());
    engine().chunkSize = 16;
    engine().parameters[0].value = 50;
    BridgeHarness installation(std::string("Throwing-") + c.entry);
    AEffect* effect = installation.open(host);
    ASSERT_NE(effect, nullptr);
    engine().throwsInOp = true;
    engine().throwingOp = c.throwingOp;
    const int before = engine().callCount;

    EXPECT_EQ(c.call(effect), c.neutralAnswer);
    const std::vector<Op> reached = opsSince(before);
    EXPECT_NE(std::find(reached.begin(), reached.end(), c.throwingOp), reached.end())
        << "the engine was not called";

    EXPECT_EQ(installation.close(), 1);
    EXPECT_EQ(engine().liveObjects, 0);
  }
}

TEST_F(BridgeProcessing, EventsBeyondTheBufferAreDropped) {
  open();
  EventBlock many(40000);
  EXPECT_EQ(harness.dispatch(effProcessEvents, 0, 0, many.block()), 1);
  EXPECT_EQ(engine().lastEventCount, 32768);
  for (int i = 0; i < testengine::kRecordedEvents; ++i) {
    EXPECT_EQ(engine().events[i].deltaFrames, i % 512);
    EXPECT_EQ(engine().events[i].midiData[0], 0x90);
    EXPECT_EQ(engine().events[i].midiData[1], i % 128);
    EXPECT_EQ(engine().events[i].midiData[3], 7);
  }
}

TEST_F(BridgeProcessing, EveryEventTypeIsCopiedTheSameWay) {
  open();
  EventBlock one(1);
  one.events[0].type = kVstSysExType;
  one.events[0].deltaFrames = 33;
  std::memcpy(one.events[0].midiData, "\xF0\x01\x02\x03", 4);
  EXPECT_EQ(harness.dispatch(effProcessEvents, 0, 0, one.block()), 1);
  ASSERT_EQ(engine().lastEventCount, 1);
  EXPECT_EQ(engine().events[0].deltaFrames, 33);
  EXPECT_EQ(std::memcmp(engine().events[0].midiData, "\xF0\x01\x02\x03", 4), 0);
}

TEST_F(BridgeProcessing, EmptyOrBrokenEventBlocksReachTheEngineAsNoEvents) {
  open();
  EventBlock none(0);
  EventBlock negative(0);
  negative.block()->numEvents = -5;
  EventBlock withHole(3);
  withHole.pointers()[1] = nullptr;

  struct Case {
    const char* what;
    VstEvents* block;
    std::int32_t expected;
  } cases[] = {{"empty block", none.block(), 0},
               {"negative count", negative.block(), 0},
               {"missing event pointer", withHole.block(), 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    engine().lastEventCount = -99;
    EXPECT_EQ(harness.dispatch(effProcessEvents, 0, 0, c.block), 1);
    EXPECT_EQ(engine().lastEventCount, c.expected);
  }
  // A host that sends no block at all gets no crash.
  harness.dispatch(effProcessEvents, 0, 0, nullptr);
}

TEST_F(BridgeProcessing, SampleRateAndBlockSizeReachTheEngine) {
  open();
  harness.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  harness.dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
  harness.dispatch(effSetSampleRate, 0, 0, nullptr, -44100.0f);
  harness.dispatch(effSetBlockSize, 0, 256);
  harness.dispatch(effSetBlockSizeAndSampleRate, 0, 64, nullptr, 96000.0f);
  const std::vector<Op> expected = {Op::SetSampleRate, Op::SetBlockSize};
  ASSERT_EQ(newOps(), expected);
  EXPECT_EQ(engine().calls[mark].f, 48000.0f);
  EXPECT_EQ(engine().calls[mark + 1].a, 256);
}

// The effect keeps what it forwarded, and keeps it through values it ignores.
TEST_F(BridgeProcessing, SampleRateAndBlockSizeAreStoredAndBadValuesIgnored) {
  AEffect* effect = open();
  auto* object = static_cast<AudioEffect*>(effect->object);
  harness.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
  harness.dispatch(effSetBlockSize, 0, 256);
  for (float rate : {0.0f, -44100.0f, NAN}) {
    harness.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
  }
  harness.dispatch(effSetBlockSize, 0, -1);
  EXPECT_EQ(object->getSampleRate(), 48000.0f);
  EXPECT_EQ(object->getBlockSize(), 256);
  for (const testengine::Op op : newOps()) {
    EXPECT_TRUE(op == Op::SetSampleRate || op == Op::SetBlockSize);
  }
  EXPECT_EQ(newOps().size(), 2u);
}

TEST_F(BridgeProcessing, SuspendAndResumeTalkOnlyToTheHost) {
  const struct {
    std::int32_t flags;
    std::vector<VstInt32> requests;
  } cases[] = {{0, {audioMasterNeedIdle}}, {2, {audioMasterWantMidi, audioMasterNeedIdle}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    BridgeHarness installation;
    testengine::resetScript(engine());
    engine().flags = c.flags;
    ASSERT_NE(installation.open(host), nullptr);
    const int calls = engine().callCount;
    host.clear();
    installation.dispatch(effMainsChanged, 0, 0);
    installation.dispatch(effMainsChanged, 0, 1);
    std::vector<VstInt32> opcodes;
    for (const auto& request : host.calls()) opcodes.push_back(request.opcode);
    EXPECT_EQ(opcodes, c.requests);
    if (c.flags != 0) {
      EXPECT_EQ(host.calls()[0].value, 1);
    }
    EXPECT_EQ(engine().callCount, calls);
  }
}

TEST_F(BridgeProcessing, IdleReachesTheProcessor) {
  open();
  EXPECT_EQ(harness.dispatch(effIdle), 1);
  EXPECT_EQ(newOps(), std::vector<Op>{Op::ProcessorIdle});
}

TEST_F(BridgeProcessing, EngineAsksTheHostForTempo) {
  open();
  kel::IHost* bridge = engine().host;
  ASSERT_NE(bridge, nullptr);
  EXPECT_EQ(bridge->getVersion(), 5);
  EXPECT_EQ(bridge->getHostFlag(), 1);
  EXPECT_EQ(bridge->getTempo(), 0.0);

  VstTimeInfo time{};
  time.tempo = 133.5;
  host.timeInfo = &time;
  host.clear();
  EXPECT_EQ(bridge->getTempo(), 133.5);
  ASSERT_EQ(host.calls().size(), 1u);
  EXPECT_EQ(host.calls()[0].opcode, audioMasterGetTime);
  EXPECT_EQ(host.calls()[0].value, kVstTempoValid);
}

class EngineChanges : public BridgeProcessing {
 protected:
  // Engine parameters: 0 exposed (host 0), 1 hidden, 2 exposed (host 1),
  // each linear 0..200.
  void SetUp() override {
    BridgeProcessing::SetUp();
    engine().parameterCount = 3;
    engine().parameters[1] = engine().parameters[0];
    engine().parameters[2] = engine().parameters[0];
    for (int i = 0; i < 3; ++i) engine().parameters[i].maximum = 200;
    engine().parameters[1].automatable = 0;
  }
  std::vector<HostCall> automation() { return host.requestsWith(audioMasterAutomate); }
  int setParameterCalls() {
    int count = 0;
    for (Op op : newOps()) count += op == Op::SetParameter;
    return count;
  }
};

TEST_F(EngineChanges, ExposedChangeGoesBackToTheEngineAndOnToTheHost) {
  open();
  engine().parameters[2].value = 50;
  engine().host->parameterChanged(2);
  EXPECT_EQ(setParameterCalls(), 1);
  EXPECT_EQ(engine().parameters[2].value, 50);
  const auto automated = automation();
  ASSERT_EQ(automated.size(), 1u);
  EXPECT_EQ(automated[0].index, 1);
  EXPECT_FLOAT_EQ(automated[0].opt, 0.25f);
  EXPECT_EQ(automated[0].effect, harness.effect());
}

// The host may read the parameter back when it hears of the change: by then
// the effect has already sent the value to the engine.
TEST_F(EngineChanges, TheEngineHasTheValueBeforeTheHostHearsOfIt) {
  std::vector<Op> lastOpWhenTold;
  host.handle(audioMasterAutomate, [this, &lastOpWhenTold](const HostCall&) -> VstIntPtr {
    lastOpWhenTold.push_back(engine().calls[engine().callCount - 1].op);
    return 0;
  });
  open();
  engine().host->parameterChanged(0);
  EXPECT_EQ(lastOpWhenTold, std::vector<Op>{Op::SetParameter});
}

TEST_F(EngineChanges, HiddenOrUnknownChangeStopsAtTheMap) {
  open();
  engine().host->parameterChanged(1);
  const std::vector<Op> asked = {Op::GetParameter, Op::GetParameterInfo};
  EXPECT_EQ(newOps(), asked);
  engine().host->parameterChanged(7);
  EXPECT_EQ(setParameterCalls(), 0);
  EXPECT_TRUE(automation().empty());
}

TEST_F(EngineChanges, ChangesDuringTheMapBuildAreIgnored) {
  engine().notifyMoments = testengine::kNotifyDuringBuild;
  engine().notifyIndex = 0;
  harness.open(host);
  mark = 0;
  EXPECT_EQ(setParameterCalls(), 0);
  EXPECT_TRUE(automation().empty());
}

TEST_F(EngineChanges, ChangesDuringShutDownAreServed) {
  engine().notifyMoments = testengine::kNotifyDuringDeactivate | testengine::kNotifyDuringTerminate;
  engine().notifyIndex = 2;
  open();
  EXPECT_EQ(harness.close(), 1);
  EXPECT_EQ(setParameterCalls(), 2);
  EXPECT_EQ(automation().size(), 2u);
}

// An engine whose own thread reports changes in a loop while the host opens
// and closes effects: every notice sees the processor whole or not at all,
// and the engine stops its thread in the processor's release.
TEST_F(EngineChanges, NoticesFromAnEngineThreadRaceEffClose) {
  engine().notifyMoments = testengine::kNotifyFromOwnThread;
  engine().notifyIndex = 2;
  for (int cycle = 0; cycle < 200; ++cycle) {
    ASSERT_NE(harness.open(host), nullptr) << cycle;
    // Let the thread reach the open effect, so effClose meets it mid-notice.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(harness.close(), 1) << cycle;
  }
  EXPECT_GT(engine().threadNotices, 0);
  EXPECT_EQ(engine().liveObjects, 0);
}

}  // namespace
