// The extension dispatcher (opcodes 25 to 76) and the extension defaults.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plain_effect.h"
#include "recording_editor.h"
#include "recording_effect.h"
#include "vst/vst_opcodes.h"

namespace {

using Calls = std::vector<std::string>;

constexpr VstInt32 kIntMin = std::numeric_limits<VstInt32>::min();
constexpr VstInt32 kIntMax = std::numeric_limits<VstInt32>::max();

// How the dispatcher turns the operation's answer into its result.
enum class Result { AsIs, Bool, One, Inverted };

VstIntPtr expectedResult(Result kind, VstIntPtr answer) {
  switch (kind) {
    case Result::AsIs:
      return answer;
    case Result::Bool:
      return answer != 0 ? 1 : 0;
    case Result::One:
      return 1;
    case Result::Inverted:
      return answer != 0 ? 0 : 1;
  }
  return -999;
}

constexpr VstIntPtr kMarkerValue = -1;  // "value carries the marker pointer"

struct Row {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
  const char* call;
  Result kind;
};

// Every opcode from 25 to 76 but the editor ones (59 to 61, tested below), with
// index 4, ptr the marker and value 2 unless the row needs otherwise.
const Row kRows[] = {
    {25, 4, 2, 0.0f, "processEvents(P)", Result::AsIs},
    {26, 4, 2, 0.0f, "canParameterBeAutomated(4)", Result::Bool},
    {27, 4, 2, 0.0f, "string2parameter(4,P)", Result::Bool},
    {28, 4, 2, 0.0f, "getNumCategories()", Result::AsIs},
    {29, 4, 2, 0.0f, "getProgramNameIndexed(2,4,P)", Result::Bool},
    {30, 4, 2, 0.0f, "copyProgram(4)", Result::Bool},
    {31, 4, 5, 0.0f, "inputConnected(4,true)", Result::One},
    {31, 4, 0, 0.0f, "inputConnected(4,false)", Result::One},
    {32, 4, -1, 0.0f, "outputConnected(4,true)", Result::One},
    {32, 4, 0, 0.0f, "outputConnected(4,false)", Result::One},
    {33, 4, 2, 0.0f, "getInputProperties(4,P)", Result::Bool},
    {34, 4, 2, 0.0f, "getOutputProperties(4,P)", Result::Bool},
    {35, 4, 2, 0.0f, "getPlugCategory()", Result::AsIs},
    {36, 4, 2, 0.0f, "reportCurrentPosition()", Result::AsIs},
    {37, 4, 2, 0.0f, "reportDestinationBuffer()", Result::AsIs},
    {38, 4, 2, 0.0f, "offlineNotify(P,2,true)", Result::Bool},
    {38, 0, 2, 0.0f, "offlineNotify(P,2,false)", Result::Bool},
    {39, 4, 2, 0.0f, "offlinePrepare(P,2)", Result::Bool},
    {40, 4, 2, 0.0f, "offlineRun(P,2)", Result::Bool},
    {41, 4, 2, 0.0f, "processVariableIo(P)", Result::Bool},
    {42, 4, kMarkerValue, 0.0f, "setSpeakerArrangement(P,P)", Result::Bool},
    {43, 4, 512, 44100.0f, "setBlockSizeAndSampleRate(512,44100)", Result::One},
    {44, 4, 5, 0.0f, "setBypass(true)", Result::Bool},
    {44, 4, 0, 0.0f, "setBypass(false)", Result::Bool},
    {45, 4, 2, 0.0f, "getEffectName(P)", Result::Bool},
    {46, 4, 2, 0.0f, "getErrorText(P)", Result::Bool},
    {47, 4, 2, 0.0f, "getVendorString(P)", Result::Bool},
    {48, 4, 2, 0.0f, "getProductString(P)", Result::Bool},
    {49, 4, 2, 0.0f, "getVendorVersion()", Result::AsIs},
    {50, 4, 2, 1.5f, "vendorSpecific(4,2,P,1.5)", Result::AsIs},
    {51, 4, 2, 0.0f, "canDo(P)", Result::AsIs},
    {52, 4, 2, 0.0f, "getGetTailSize()", Result::AsIs},
    {53, 4, 2, 0.0f, "fxIdle()", Result::AsIs},
    {54, 4, 2, 0.0f, "getIcon()", Result::AsIs},
    {55, 4, 2, 0.0f, "setViewPosition(4,2)", Result::Bool},
    {56, 4, 2, 0.0f, "getParameterProperties(4,P)", Result::Bool},
    {57, 4, 2, 0.0f, "keysRequired()", Result::Inverted},
    {58, 4, 2, 0.0f, "getVstVersion()", Result::AsIs},
    {62, 4, 2, 0.0f, "getMidiProgramName(4,P)", Result::AsIs},
    {63, 4, 2, 0.0f, "getCurrentMidiProgram(4,P)", Result::AsIs},
    {64, 4, 2, 0.0f, "getMidiProgramCategory(4,P)", Result::AsIs},
    {65, 4, 2, 0.0f, "hasMidiProgramsChanged(4)", Result::Bool},
    {66, 4, 2, 0.0f, "getMidiKeyName(4,P)", Result::Bool},
    {67, 4, 2, 0.0f, "beginSetProgram()", Result::Bool},
    {68, 4, 2, 0.0f, "endSetProgram()", Result::Bool},
    {69, 4, kMarkerValue, 0.0f, "getSpeakerArrangement(P,P)", Result::Bool},
    {70, 4, 2, 0.0f, "getNextShellPlugin(P)", Result::AsIs},
    {71, 4, 2, 0.0f, "startProcess()", Result::AsIs},
    {72, 4, 2, 0.0f, "stopProcess()", Result::AsIs},
    {73, 4, 2, 0.0f, "setTotalSampleToProcess(2)", Result::AsIs},
    {74, 4, 2, 0.5f, "setPanLaw(2,0.5)", Result::Bool},
    {75, 4, 2, 0.0f, "beginLoadBank(P)", Result::AsIs},
    {76, 4, 2, 0.0f, "beginLoadProgram(P)", Result::AsIs},
};

TEST(ExtendedDispatcher, EachOpcodeCallsItsOperationAndConvertsTheAnswer) {
  for (const Row& row : kRows) {
    for (VstIntPtr answer : {VstIntPtr{7}, VstIntPtr{0}, VstIntPtr{-3}}) {
      RecordingEffect effect;
      char buffer[64];
      effect.marker = buffer;
      effect.answer = answer;
      const VstIntPtr value =
          row.value == kMarkerValue ? reinterpret_cast<VstIntPtr>(buffer) : row.value;
      EXPECT_EQ(effect.dispatcher(row.opcode, row.index, value, buffer, row.opt),
                expectedResult(row.kind, answer))
          << row.call << " answering " << answer;
      EXPECT_EQ(effect.calls, Calls{row.call}) << "opcode " << row.opcode;
    }
  }
}

TEST(ExtendedDispatcher, TheTableCoversEveryExtendedOpcode) {
  std::set<VstInt32> covered{effEditKeyDown, effEditKeyUp, effSetEditKnobMode};
  for (const Row& row : kRows) covered.insert(row.opcode);
  std::set<VstInt32> all;
  for (VstInt32 opcode = 25; opcode <= 76; ++opcode) all.insert(opcode);
  EXPECT_EQ(covered, all);
}

TEST(ExtendedDispatcher, OtherOpcodesGoToTheBaseDispatcherUnchanged) {
  RecordingEffect effect(nullptr, 2, 1);
  char buffer[16];
  effect.marker = buffer;
  effect.answer = 11;
  EXPECT_EQ(effect.dispatcher(effSetChunk, 1, 20, buffer, 0.0f), 11);
  EXPECT_EQ(effect.dispatcher(effGetParamDisplay, 6, 0, buffer, 0.0f), 0);
  EXPECT_EQ(effect.dispatcher(effSetProgram, 0, 1, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.dispatcher(effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
  for (VstInt32 opcode : {77, 100, -1, -25, kIntMin, kIntMax}) {
    EXPECT_EQ(effect.dispatcher(opcode, 4, 2, buffer, 1.0f), 0) << opcode;
  }
  EXPECT_EQ(effect.calls,
            (Calls{"setChunk(P,20,true)", "getParameterDisplay(6,P)", "setProgram(1)"}));
}

TEST(ExtendedDispatcher, NullPtrNeverReachesOperationsThatUseIt) {
  struct Guarded {
    VstInt32 opcode;
    VstIntPtr result;
  };
  const Guarded rows[] = {
      {effProcessEvents, 0},          {effString2Parameter, 0},
      {effGetProgramNameIndexed, 0},  {effGetInputProperties, 0},
      {effGetOutputProperties, 0},    {effOfflineNotify, 0},
      {effOfflinePrepare, 0},         {effOfflineRun, 0},
      {effProcessVarIo, 0},           {effGetEffectName, 0},
      {effGetErrorText, 0},           {effGetVendorString, 0},
      {effGetProductString, 0},       {effCanDo, 0},
      {effGetParameterProperties, 0}, {effGetMidiProgramName, 0},
      {effGetCurrentMidiProgram, -1}, {effGetMidiProgramCategory, 0},
      {effGetMidiKeyName, 0},         {effShellGetNextPlugin, 0},
      {effBeginLoadBank, 0},          {effBeginLoadProgram, 0},
  };
  for (const Guarded& row : rows) {
    RecordingEffect effect;
    effect.answer = 7;
    EXPECT_EQ(effect.dispatcher(row.opcode, 1, 2, nullptr, 0.0f), row.result) << row.opcode;
    EXPECT_TRUE(effect.calls.empty()) << row.opcode;
  }

  // Here a missing pointer means "none" and the operation decides.
  RecordingEffect effect;
  effect.answer = 7;
  EXPECT_EQ(effect.dispatcher(effSetSpeakerArrangement, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(effect.dispatcher(effGetSpeakerArrangement, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(effect.dispatcher(effVendorSpecific, 1, 2, nullptr, 0.0f), 7);
  EXPECT_EQ(effect.calls,
            (Calls{"setSpeakerArrangement(null,null)", "getSpeakerArrangement(null,null)",
                   "vendorSpecific(1,2,null,0)"}));
}

TEST(ExtendedDispatcher, DefaultsAnswerThroughTheRecord) {
  // Opcodes answered with something else than 0 by the defaults; value is 9.
  const std::pair<VstInt32, VstIntPtr> nonZero[] = {
      {effCanBeAutomated, 1},   {effGetNumProgramCategories, 1},   {effConnectInput, 1},
      {effConnectOutput, 1},    {effSetBlockSizeAndSampleRate, 1}, {effKeysRequired, 1},
      {effGetVstVersion, 2300}, {effGetCurrentMidiProgram, -1},    {effSetTotalSampleToProcess, 9},
  };
  for (VstInt32 opcode = 25; opcode <= 76; ++opcode) {
    PlainEffect effect;
    alignas(8) unsigned char buffer[512] = {};
    VstIntPtr expected = 0;
    for (const auto& entry : nonZero) {
      if (entry.first == opcode) expected = entry.second;
    }
    // effGetSpeakerArrangement takes value as a place; give it none.
    const VstIntPtr value = opcode == effGetSpeakerArrangement ? 0 : 9;
    AEffect* e = effect.getAeffect();
    EXPECT_EQ(e->dispatcher(e, opcode, kIntMax, value, buffer, 3.0f), expected) << opcode;
  }
}

TEST(ExtendedDispatcher, BlockSizeAndSampleRateAreStoredWithoutTheSetters) {
  RecordingEffect effect;
  EXPECT_EQ(effect.dispatcher(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 44100.0f), 1);
  EXPECT_EQ(effect.storedBlockSize(), 512);
  EXPECT_EQ(effect.storedSampleRate(), 44100.0f);
  EXPECT_EQ(effect.calls, Calls{"setBlockSizeAndSampleRate(512,44100)"});

  effect.dispatcher(effSetBlockSizeAndSampleRate, 0, 32, nullptr, 96000.0f);
  EXPECT_EQ(effect.getBlockSize(), 32);
  EXPECT_EQ(effect.getSampleRate(), 96000.0f);
}

TEST(ExtendedDispatcher, PlugCategoryFollowsTheSynthFlag) {
  PlainEffect effect;
  EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategUnknown);
  effect.isSynth(true);
  EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategSynth);
  effect.isSynth(false);
  EXPECT_EQ(effect.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), kPlugCategUnknown);
}

TEST(ExtendedDispatcher, KeyOpcodesBuildTheKeyCodeForTheEditor) {
  struct KeyRow {
    VstInt32 index;
    VstIntPtr value;
    float opt;
    VstInt32 character;
    std::uint8_t virt;
    std::uint8_t modifier;
  };
  const KeyRow rows[] = {
      {'a', 0x141, 2.9f, 'a', 0x41, 2},
      {-5, 0x41, 0.0f, -5, 0x41, 0},
      {0, -1, -1.5f, 0, 0xFF, 0xFF},  // -1.5 truncates to -1
      {0, 0, 300.0f, 0, 0, 44},       // 300 keeps its low byte
      {0, 0, std::nanf(""), 0, 0, 0},
      {0, 0, 1e20f, 0, 0, 0},
      {kIntMin, 0, -1e20f, kIntMin, 0, 0},
  };
  for (VstInt32 opcode : {effEditKeyDown, effEditKeyUp}) {
    for (const KeyRow& row : rows) {
      PlainEffect effect;
      auto* editor = new RecordingEditor(&effect);
      editor->answer = -7;
      effect.setEditor(editor);
      EXPECT_EQ(effect.dispatcher(opcode, row.index, row.value, nullptr, row.opt), -7);
      EXPECT_EQ(editor->calls, Calls{opcode == effEditKeyDown ? "onKeyDown" : "onKeyUp"});
      EXPECT_EQ(editor->lastKey.character, row.character) << row.opt;
      EXPECT_EQ(editor->lastKey.virt, row.virt) << row.opt;
      EXPECT_EQ(editor->lastKey.modifier, row.modifier) << row.opt;
    }
  }
}

TEST(ExtendedDispatcher, EditorOpcodesAnswerTheEditorOrZero) {
  PlainEffect bare;
  for (VstInt32 opcode : {effEditKeyDown, effEditKeyUp, effSetEditKnobMode}) {
    EXPECT_EQ(bare.dispatcher(opcode, 'a', 1, nullptr, 0.0f), 0) << opcode;
  }

  PlainEffect effect;
  auto* editor = new RecordingEditor(&effect);
  editor->answer = 3;
  effect.setEditor(editor);
  EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 3);
  EXPECT_EQ(editor->calls, Calls{"setKnobMode(2)"});
  EXPECT_EQ(effect.getEditor(), editor);

  PlainEffect withBase;
  withBase.setEditor(new AEffEditor(&withBase));
  EXPECT_EQ(withBase.dispatcher(effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
  EXPECT_EQ(withBase.dispatcher(effEditKeyUp, 'a', 0, nullptr, 0.0f), -1);
  EXPECT_EQ(withBase.dispatcher(effSetEditKnobMode, 0, 1, nullptr, 0.0f), 0);
}

}  // namespace
