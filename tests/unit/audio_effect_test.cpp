// The effect record, its entries, the base dispatcher (opcodes 0 to 24), the
// record setters and the base host queries.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "plain_effect.h"
#include "recording_editor.h"
#include "recording_effect.h"
#include "recording_host.h"
#include "vst/vst_opcodes.h"

namespace {

using Calls = std::vector<std::string>;

constexpr VstInt32 kIntMin = std::numeric_limits<VstInt32>::min();
constexpr VstInt32 kIntMax = std::numeric_limits<VstInt32>::max();

TEST(EffectRecord, HoldsTheDefaultsAfterConstruction) {
  RecordingHost host;
  PlainEffect effect(host.master(), 3, 7);
  const AEffect& e = *effect.getAeffect();

  EXPECT_EQ(e.magic, 0x56737450);
  EXPECT_EQ(e.numPrograms, 3);
  EXPECT_EQ(e.numParams, 7);
  EXPECT_EQ(e.numInputs, 1);
  EXPECT_EQ(e.numOutputs, 2);
  EXPECT_EQ(e.flags, 0);
  EXPECT_EQ(e.resvd1, 0);
  EXPECT_EQ(e.resvd2, 0);
  EXPECT_EQ(e.initialDelay, 0);
  EXPECT_EQ(e.realQualities, 0);
  EXPECT_EQ(e.offQualities, 0);
  EXPECT_EQ(e.ioRatio, 1.0f);
  EXPECT_EQ(e.object, static_cast<void*>(static_cast<AudioEffect*>(&effect)));
  EXPECT_EQ(e.user, nullptr);
  EXPECT_EQ(e.uniqueID, 0x4E6F4566);
  EXPECT_EQ(e.version, 1);
  EXPECT_NE(e.dispatcher, nullptr);
  EXPECT_NE(e.process, nullptr);
  EXPECT_NE(e.processReplacing, nullptr);
  EXPECT_NE(e.setParameter, nullptr);
  EXPECT_NE(e.getParameter, nullptr);
  const char zeros[sizeof(e.future)] = {};
  EXPECT_EQ(std::memcmp(e.future, zeros, sizeof(zeros)), 0);

  EXPECT_EQ(effect.storedSampleRate(), 44100.0f);
  EXPECT_EQ(effect.storedBlockSize(), 1024);
  EXPECT_EQ(effect.currentProgram(), 0);
  EXPECT_EQ(effect.currentEditor(), nullptr);
  EXPECT_EQ(effect.programCount(), 3);
  EXPECT_EQ(effect.parameterCount(), 7);
  EXPECT_EQ(effect.hostCallback(), host.master());
  EXPECT_TRUE(host.calls().empty());  // construction asks the host nothing
}

TEST(EffectRecord, EntriesReachTheObjectWithTheirArguments) {
  RecordingEffect effect;
  float* channels[2] = {};
  effect.marker = channels;
  effect.floatAnswer = 0.625f;
  AEffect* e = effect.getAeffect();

  e->process(e, channels, channels, 64);
  e->processReplacing(e, channels, nullptr, 32);
  e->setParameter(e, 4, 0.25f);
  EXPECT_EQ(e->getParameter(e, 9), 0.625f);

  EXPECT_EQ(effect.calls, (Calls{"process(P,P,64)", "processReplacing(P,null,32)",
                                 "setParameter(4,0.25)", "getParameter(9)"}));
}

TEST(EffectRecord, DispatcherEntryPassesResultsThrough) {
  RecordingEffect effect;
  char text[16];
  effect.marker = text;
  effect.answer = 42;
  AEffect* e = effect.getAeffect();

  EXPECT_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 42);
  EXPECT_EQ(e->dispatcher(e, effGetParamName, 5, 0, text, 0.0f), 0);
  EXPECT_EQ(e->dispatcher(e, effGetVendorVersion, 0, 0, nullptr, 0.0f), 42);
  for (VstInt32 opcode : {77, 78, -1, kIntMin, kIntMax}) {
    EXPECT_EQ(e->dispatcher(e, opcode, 1, 2, text, 3.0f), 0) << opcode;
  }
  EXPECT_EQ(effect.calls, (Calls{"getProgram()", "getParameterName(5,P)", "getVendorVersion()"}));
  EXPECT_EQ(e->dispatcher(nullptr, effGetProgram, 0, 0, nullptr, 0.0f), 0);
}

// Logs close() into a list that outlives the effect.
class ClosingEffect : public RecordingEffect {
 public:
  explicit ClosingEffect(Calls* log) : events(log) {}
  ~ClosingEffect() override { events->push_back("destroyed"); }
  void close() override { events->push_back("close"); }

 private:
  Calls* events;
};

TEST(EffectRecord, CloseRunsCloseThenDestroysEffectAndEditorAndAnswersOne) {
  Calls events;
  bool editorGone = false;
  auto* effect = new ClosingEffect(&events);
  effect->answer = 5;
  auto* editor = new RecordingEditor(effect);
  editor->destroyed = &editorGone;
  effect->setEditor(editor);
  AEffect* e = effect->getAeffect();

  EXPECT_EQ(e->dispatcher(e, effClose, 3, 4, nullptr, 1.0f), 1);
  EXPECT_EQ(events, (Calls{"close", "destroyed"}));
  EXPECT_TRUE(editorGone);
}

struct BaseRow {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  bool withPtr;
  float opt;
  VstIntPtr answer;  // what the recording operations answer
  Calls calls;
  VstIntPtr result;
};

// Reached through AudioEffect::dispatcher itself, so the extension dispatcher
// plays no part.
TEST(BaseDispatcher, CallsOneOperationPerOpcode) {
  const BaseRow rows[] = {
      {effOpen, 9, 9, true, 9.0f, 5, {"open()"}, 0},
      {effClose, 9, 9, true, 9.0f, 5, {"close()"}, 0},
      {effSetProgram, 0, 1, false, 0.0f, 0, {"setProgram(1)"}, 0},
      {effSetProgram, 0, 2, false, 0.0f, 0, {}, 0},  // numPrograms is 2
      {effSetProgram, 0, -1, false, 0.0f, 0, {}, 0},
      {effSetProgram, 0, kIntMin, false, 0.0f, 0, {}, 0},
      {effGetProgram, 0, 0, false, 0.0f, 77, {"getProgram()"}, 77},
      {effSetProgramName, 0, 0, true, 0.0f, 0, {"setProgramName(P)"}, 0},
      {effGetProgramName, 0, 0, true, 0.0f, 0, {"getProgramName(P)"}, 0},
      {effGetParamLabel, 3, 0, true, 0.0f, 0, {"getParameterLabel(3,P)"}, 0},
      {effGetParamDisplay, -4, 0, true, 0.0f, 0, {"getParameterDisplay(-4,P)"}, 0},
      {effGetParamName, kIntMax, 0, true, 0.0f, 0, {"getParameterName(2147483647,P)"}, 0},
      {effSetSampleRate, 0, 0, false, 48000.0f, 0, {"setSampleRate(48000)"}, 0},
      {effSetBlockSize, 0, 512, false, 0.0f, 0, {"setBlockSize(512)"}, 0},
      {effMainsChanged, 0, 0, false, 0.0f, 0, {"suspend()"}, 0},
      {effMainsChanged, 0, 1, false, 0.0f, 0, {"resume()"}, 0},
      {effMainsChanged, 0, -1, false, 0.0f, 0, {"resume()"}, 0},
      {effMainsChanged, 0, 7, false, 0.0f, 0, {"resume()"}, 0},
      {effIdentify, 0, 0, false, 0.0f, 0, {}, 0x4E764566},
      {effIdentify, -5, 99, true, 2.5f, 0, {}, 0x4E764566},
      {effGetChunk, 1, 0, true, 0.0f, 321, {"getChunk(P,true)"}, 321},
      {effGetChunk, 0, 0, true, 0.0f, 321, {"getChunk(P,false)"}, 321},
      {effSetChunk, 1, 12, true, 0.0f, 3, {"setChunk(P,12,true)"}, 3},
      {effSetChunk, 0, 12, true, 0.0f, 3, {"setChunk(P,12,false)"}, 3},
      // Text and chunk opcodes never hand a null ptr on.
      {effSetProgramName, 0, 0, false, 0.0f, 0, {}, 0},
      {effGetProgramName, 0, 0, false, 0.0f, 0, {}, 0},
      {effGetParamLabel, 0, 0, false, 0.0f, 0, {}, 0},
      {effGetParamDisplay, 0, 0, false, 0.0f, 0, {}, 0},
      {effGetParamName, 0, 0, false, 0.0f, 0, {}, 0},
      {effGetChunk, 1, 0, false, 0.0f, 321, {}, 0},
      {effSetChunk, 1, 12, false, 0.0f, 3, {}, 0},
      // Editor opcodes without an editor.
      {effEditGetRect, 0, 0, true, 0.0f, 5, {}, 0},
      {effEditOpen, 0, 0, true, 0.0f, 5, {}, 0},
      {effEditClose, 0, 0, false, 0.0f, 5, {}, 0},
      {effEditIdle, 0, 0, false, 0.0f, 5, {}, 0},
      // Outside 0 to 24, including the extended opcodes.
      {25, 1, 1, true, 1.0f, 5, {}, 0},
      {76, 1, 1, true, 1.0f, 5, {}, 0},
      {77, 1, 1, true, 1.0f, 5, {}, 0},
      {-1, 1, 1, true, 1.0f, 5, {}, 0},
      {kIntMin, 1, 1, true, 1.0f, 5, {}, 0},
  };
  for (const BaseRow& row : rows) {
    RecordingEffect effect(nullptr, 2, 4);
    char buffer[64];
    effect.marker = buffer;
    effect.answer = row.answer;
    const VstIntPtr result = effect.AudioEffect::dispatcher(
        row.opcode, row.index, row.value, row.withPtr ? buffer : nullptr, row.opt);
    EXPECT_EQ(result, row.result) << "opcode " << row.opcode;
    EXPECT_EQ(effect.calls, row.calls) << "opcode " << row.opcode;
  }
}

TEST(BaseDispatcher, SetProgramChangesTheCurrentProgramOnlyWithinRange) {
  PlainEffect effect(nullptr, 1, 1);
  effect.dispatcher(effSetProgram, 0, 1, nullptr, 0.0f);
  EXPECT_EQ(effect.currentProgram(), 0);
  effect.dispatcher(effSetProgram, 0, -3, nullptr, 0.0f);
  EXPECT_EQ(effect.currentProgram(), 0);

  PlainEffect three(nullptr, 3, 1);
  three.dispatcher(effSetProgram, 0, 2, nullptr, 0.0f);
  EXPECT_EQ(three.currentProgram(), 2);
  EXPECT_EQ(three.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 2);
}

TEST(BaseDispatcher, VuIsScaledAndTruncated) {
  struct Row {
    float vu;
    VstIntPtr result;
  };
  const Row rows[] = {
      {0.0f, 0},        {1.0f, 32767},      {0.5f, 16383},
      {-0.5f, -16383},  {-1.0f, -32767},    {1e9f, kIntMax},  // saturates instead of overflowing
      {-1e9f, kIntMin}, {std::nanf(""), 0},
  };
  for (const Row& row : rows) {
    RecordingEffect effect;
    effect.floatAnswer = row.vu;
    EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), row.result) << row.vu;
  }
  PlainEffect plain;
  EXPECT_EQ(plain.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), 0);
}

TEST(BaseDispatcher, EditorOpcodesReachTheAttachedEditor) {
  struct Row {
    VstInt32 opcode;
    bool withPtr;
    Calls calls;
    VstIntPtr result;
  };
  const Row rows[] = {
      {effEditGetRect, true, {"getRect"}, 9},
      {effEditGetRect, false, {}, 0},
      {effEditOpen, true, {"open"}, 9},
      {effEditOpen, false, {}, 0},  // no parent window
      {effEditClose, false, {"close"}, 0},
      {effEditIdle, false, {"idle"}, 0},
      {effEditDraw, true, {}, 0},
      {effEditMouse, true, {}, 0},
      {effEditKey, true, {}, 0},
      {effEditTop, true, {}, 0},
      {effEditSleep, true, {}, 0},
  };
  for (const Row& row : rows) {
    PlainEffect effect;
    auto* editor = new RecordingEditor(&effect);
    editor->answer = 9;
    effect.setEditor(editor);
    ERect* rect = nullptr;
    EXPECT_EQ(effect.dispatcher(row.opcode, 1, 2, row.withPtr ? &rect : nullptr, 3.0f), row.result)
        << row.opcode;
    EXPECT_EQ(editor->calls, row.calls) << row.opcode;
  }
}

TEST(BaseDispatcher, EditorOpenPassesTheParentWindow) {
  PlainEffect effect;
  auto* editor = new RecordingEditor(&effect);
  effect.setEditor(editor);
  int window = 0;
  effect.dispatcher(effEditOpen, 0, 0, &window, 0.0f);
  EXPECT_EQ(editor->getSystemWindow(), &window);
}

TEST(BaseDefaults, TextOperationsWriteAnEmptyTextAndSkipNull) {
  using TextOperation = void (*)(AudioEffect&, char*);
  const TextOperation operations[] = {
      [](AudioEffect& e, char* t) { e.setProgramName(t); },
      [](AudioEffect& e, char* t) { e.getProgramName(t); },
      [](AudioEffect& e, char* t) { e.getParameterLabel(0, t); },
      [](AudioEffect& e, char* t) { e.getParameterDisplay(-1, t); },
      [](AudioEffect& e, char* t) { e.getParameterName(kIntMax, t); },
  };
  for (TextOperation operation : operations) {
    PlainEffect effect;
    char text[8] = "abcdefg";
    operation(effect, text);
    EXPECT_EQ(std::string(text, sizeof(text)), std::string("\0bcdefg\0", 8));
    operation(effect, nullptr);
  }
}

TEST(BaseDefaults, StoreAndAnswerTheirValues) {
  PlainEffect effect;
  effect.setSampleRate(96000.0f);
  effect.setBlockSize(64);
  effect.setProgram(5);
  void* data = &effect;
  EXPECT_EQ(effect.getSampleRate(), 96000.0f);
  EXPECT_EQ(effect.getBlockSize(), 64);
  EXPECT_EQ(effect.getProgram(), 5);
  EXPECT_EQ(effect.getParameter(0), 0.0f);
  EXPECT_EQ(effect.getVu(), 0.0f);
  EXPECT_EQ(effect.getChunk(&data, true), 0);
  EXPECT_EQ(data, &effect);
  EXPECT_EQ(effect.setChunk(data, 4, false), 0);
}

TEST(RecordSetters, WriteTheirFieldsWithoutAskingTheHost) {
  RecordingHost host;
  PlainEffect effect(host.master());
  const AEffect& e = *effect.getAeffect();
  effect.setUniqueID(0x41424344);
  effect.setNumInputs(6);
  effect.setNumOutputs(8);
  effect.setRealtimeQualities(2);
  effect.setOfflineQualities(3);
  effect.setInitialDelay(128);
  EXPECT_EQ(e.uniqueID, 0x41424344);
  EXPECT_EQ(e.numInputs, 6);
  EXPECT_EQ(e.numOutputs, 8);
  EXPECT_EQ(e.realQualities, 2);
  EXPECT_EQ(e.offQualities, 3);
  EXPECT_EQ(e.initialDelay, 128);
  EXPECT_TRUE(host.calls().empty());
}

TEST(RecordSetters, EachFlagSetterTouchesOnlyItsBit) {
  struct Row {
    const char* name;
    void (*set)(PlainEffect&, bool);
    VstInt32 bit;
  };
  const Row rows[] = {
      {"hasClip", [](PlainEffect& e, bool s) { e.hasClip(s); }, 2},
      {"hasVu", [](PlainEffect& e, bool s) { e.hasVu(s); }, 4},
      {"canMono", [](PlainEffect& e, bool s) { e.canMono(s); }, 8},
      {"canProcessReplacing", [](PlainEffect& e, bool s) { e.canProcessReplacing(s); }, 16},
      {"programsAreChunks", [](PlainEffect& e, bool s) { e.programsAreChunks(s); }, 32},
      {"isSynth", [](PlainEffect& e, bool s) { e.isSynth(s); }, 256},
      {"noTail", [](PlainEffect& e, bool s) { e.noTail(s); }, 512},
      {"wantAsyncOperation", [](PlainEffect& e, bool s) { e.wantAsyncOperation(s); }, 1024},
      {"hasExternalBuffer", [](PlainEffect& e, bool s) { e.hasExternalBuffer(s); }, 2048},
  };
  for (const Row& row : rows) {
    for (VstInt32 before : {0, ~0, 0x5A5, 0x0A5A}) {
      PlainEffect effect;
      AEffect& e = *effect.getAeffect();
      e.flags = before;
      row.set(effect, true);
      EXPECT_EQ(e.flags, before | row.bit) << row.name;
      row.set(effect, false);
      EXPECT_EQ(e.flags, before & ~row.bit) << row.name;
    }
  }
}

TEST(RecordSetters, AttachingAnEditorAnnouncesItForGood) {
  PlainEffect effect;
  auto* editor = new RecordingEditor(&effect);
  effect.setEditor(editor);
  EXPECT_EQ(effect.currentEditor(), editor);
  EXPECT_EQ(effect.getAeffect()->flags, effFlagsHasEditor);

  effect.setEditor(nullptr);  // detached: the caller takes it back
  EXPECT_EQ(effect.getAeffect()->flags, effFlagsHasEditor);
  EXPECT_EQ(effect.currentEditor(), nullptr);
  delete editor;
}

TEST(HostQueries, SendOneRequestWithTheRecordAndMapTheAnswer) {
  struct Row {
    const char* name;
    VstIntPtr (*call)(PlainEffect&);
    HostCall expected;  // effect is filled in per effect
    VstIntPtr answer;
    VstIntPtr result;
  };
  const Row rows[] = {
      {"getMasterVersion",
       [](PlainEffect& e) -> VstIntPtr { return e.getMasterVersion(); },
       {nullptr, 1, 0, 0, nullptr, 0.0f},
       0,
       1},
      {"getMasterVersion",
       [](PlainEffect& e) -> VstIntPtr { return e.getMasterVersion(); },
       {nullptr, 1, 0, 0, nullptr, 0.0f},
       2,
       2},
      {"getMasterVersion",
       [](PlainEffect& e) -> VstIntPtr { return e.getMasterVersion(); },
       {nullptr, 1, 0, 0, nullptr, 0.0f},
       2400,
       2400},
      {"getCurrentUniqueId",
       [](PlainEffect& e) -> VstIntPtr { return e.getCurrentUniqueId(); },
       {nullptr, 2, 0, 0, nullptr, 0.0f},
       0x1234,
       0x1234},
      {"masterIdle",
       [](PlainEffect& e) -> VstIntPtr {
         e.masterIdle();
         return 0;
       },
       {nullptr, 3, 0, 0, nullptr, 0.0f},
       1,
       0},
      {"isInputConnected",
       [](PlainEffect& e) -> VstIntPtr { return e.isInputConnected(2); },
       {nullptr, 4, 2, 0, nullptr, 0.0f},
       0,
       1},
      {"isInputConnected",
       [](PlainEffect& e) -> VstIntPtr { return e.isInputConnected(2); },
       {nullptr, 4, 2, 0, nullptr, 0.0f},
       1,
       0},
      {"isOutputConnected",
       [](PlainEffect& e) -> VstIntPtr { return e.isOutputConnected(3); },
       {nullptr, 4, 3, 1, nullptr, 0.0f},
       1,
       0},
      {"isOutputConnected",
       [](PlainEffect& e) -> VstIntPtr { return e.isOutputConnected(-1); },
       {nullptr, 4, -1, 1, nullptr, 0.0f},
       0,
       1},
  };
  for (const Row& row : rows) {
    RecordingHost host;
    host.answer(row.expected.opcode, row.answer);
    PlainEffect effect(host.master());
    EXPECT_EQ(row.call(effect), row.result) << row.name << " answered " << row.answer;
    ASSERT_EQ(host.calls().size(), 1u) << row.name;
    const HostCall& call = host.last();
    EXPECT_EQ(call.effect, effect.getAeffect()) << row.name;
    EXPECT_EQ(call.opcode, row.expected.opcode) << row.name;
    EXPECT_EQ(call.index, row.expected.index) << row.name;
    EXPECT_EQ(call.value, row.expected.value) << row.name;
    EXPECT_EQ(call.ptr, row.expected.ptr) << row.name;
    EXPECT_EQ(call.opt, row.expected.opt) << row.name;
  }
}

TEST(HostQueries, AnswerFixedValuesWithoutAHost) {
  RecordingHost host;  // alive, but the effect does not know it
  PlainEffect effect(nullptr);
  EXPECT_EQ(effect.getMasterVersion(), 1);
  EXPECT_EQ(effect.getCurrentUniqueId(), 0);
  effect.masterIdle();
  EXPECT_TRUE(effect.isInputConnected(0));
  EXPECT_TRUE(effect.isOutputConnected(0));
  EXPECT_TRUE(host.calls().empty());
}

TEST(HostQueries, AutomationSetsTheParameterFirstThenTellsTheHost) {
  RecordingHost host;
  host.answer(audioMasterAutomate, 99);
  RecordingEffect effect(host.master());
  effect.setParameterAutomated(3, 0.75f);
  EXPECT_EQ(effect.calls, Calls{"setParameter(3,0.75)"});
  ASSERT_EQ(host.calls().size(), 1u);
  const HostCall& call = host.last();
  EXPECT_EQ(call.effect, effect.getAeffect());
  EXPECT_EQ(call.opcode, audioMasterAutomate);
  EXPECT_EQ(call.index, 3);
  EXPECT_EQ(call.value, 0);
  EXPECT_EQ(call.ptr, nullptr);
  EXPECT_EQ(call.opt, 0.75f);

  RecordingEffect alone(nullptr);
  alone.setParameterAutomated(1, 0.5f);
  EXPECT_EQ(alone.calls, Calls{"setParameter(1,0.5)"});
  EXPECT_EQ(host.calls().size(), 1u);
}

}  // namespace
