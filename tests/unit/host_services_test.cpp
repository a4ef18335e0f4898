// The extension host services: what each sends to the host, how it reads the
// answer, and what it answers without a host.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plain_effect.h"
#include "recording_effect.h"
#include "recording_host.h"
#include "vst/host_text.h"
#include "vst/vst_opcodes.h"

namespace {

enum class Answer { AsIs, NonZero, ExactlyOne, Ignored };

template <typename T>
T* as(void* marker) {
  return reinterpret_cast<T*>(marker);
}

template <typename T>
VstIntPtr address(T* pointer) {
  return reinterpret_cast<VstIntPtr>(pointer);
}

struct Row {
  const char* name;
  VstIntPtr (*call)(PlainEffect&, void* marker);
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  bool sendsMarker;
  float opt;
  Answer answer;
};

using E = PlainEffect;
using V = VstIntPtr;

const Row kRows[] = {
    {"wantEvents",
     [](E& e, void*) -> V {
       e.wantEvents(5);
       return 0;
     },
     6, 0, 5, false, 0.0f, Answer::Ignored},
    {"getTimeInfo", [](E& e, void*) -> V { return address(e.getTimeInfo(1024)); }, 7, 0, 1024,
     false, 0.0f, Answer::AsIs},
    {"sendVstEventsToHost",
     [](E& e, void* m) -> V { return e.sendVstEventsToHost(as<VstEvents>(m)); }, 8, 0, 0, true,
     0.0f, Answer::ExactlyOne},
    {"tempoAt", [](E& e, void*) -> V { return e.tempoAt(3000); }, 10, 0, 3000, false, 0.0f,
     Answer::AsIs},
    {"getNumAutomatableParameters",
     [](E& e, void*) -> V { return e.getNumAutomatableParameters(); }, 11, 0, 0, false, 0.0f,
     Answer::AsIs},
    {"getParameterQuantization", [](E& e, void*) -> V { return e.getParameterQuantization(); }, 12,
     0, 0, false, 0.0f, Answer::AsIs},
    {"ioChanged", [](E& e, void*) -> V { return e.ioChanged(); }, 13, 0, 0, false, 0.0f,
     Answer::NonZero},
    {"needIdle", [](E& e, void*) -> V { return e.needIdle(); }, 14, 0, 0, false, 0.0f,
     Answer::NonZero},
    {"sizeWindow", [](E& e, void*) -> V { return e.sizeWindow(640, 480); }, 15, 640, 480, false,
     0.0f, Answer::NonZero},
    {"getInputLatency", [](E& e, void*) -> V { return e.getInputLatency(); }, 18, 0, 0, false, 0.0f,
     Answer::AsIs},
    {"getOutputLatency", [](E& e, void*) -> V { return e.getOutputLatency(); }, 19, 0, 0, false,
     0.0f, Answer::AsIs},
    {"getPreviousPlug", [](E& e, void*) -> V { return address(e.getPreviousPlug(-1)); }, 20, 0, -1,
     false, 0.0f, Answer::AsIs},
    {"getNextPlug", [](E& e, void*) -> V { return address(e.getNextPlug(2)); }, 21, 0, 2, false,
     0.0f, Answer::AsIs},
    {"willProcessReplacing", [](E& e, void*) -> V { return e.willProcessReplacing(); }, 22, 0, 0,
     false, 0.0f, Answer::AsIs},
    {"getCurrentProcessLevel", [](E& e, void*) -> V { return e.getCurrentProcessLevel(); }, 23, 0,
     0, false, 0.0f, Answer::AsIs},
    {"getAutomationState", [](E& e, void*) -> V { return e.getAutomationState(); }, 24, 0, 0, false,
     0.0f, Answer::AsIs},
    {"offlineStart", [](E& e, void* m) -> V { return e.offlineStart(as<VstAudioFile>(m), 3, 2); },
     25, 2, 3, true, 0.0f, Answer::NonZero},
    {"offlineRead(true)",
     [](E& e, void* m) -> V { return e.offlineRead(as<VstOfflineTask>(m), 4, true); }, 26, 1, 4,
     true, 0.0f, Answer::NonZero},
    {"offlineRead(false)",
     [](E& e, void* m) -> V { return e.offlineRead(as<VstOfflineTask>(m), 4, false); }, 26, 0, 4,
     true, 0.0f, Answer::NonZero},
    {"offlineWrite", [](E& e, void* m) -> V { return e.offlineWrite(as<VstOfflineTask>(m), 4); },
     27, 0, 4, true, 0.0f, Answer::NonZero},
    {"offlineGetCurrentPass", [](E& e, void*) -> V { return e.offlineGetCurrentPass(); }, 28, 0, 0,
     false, 0.0f, Answer::NonZero},
    {"offlineGetCurrentMetaPass", [](E& e, void*) -> V { return e.offlineGetCurrentMetaPass(); },
     29, 0, 0, false, 0.0f, Answer::NonZero},
    {"setOutputSamplerate",
     [](E& e, void*) -> V {
       e.setOutputSamplerate(48000.0f);
       return 0;
     },
     30, 0, 0, false, 48000.0f, Answer::Ignored},
    {"getOutputSpeakerArrangement",
     [](E& e, void*) -> V { return address(e.getOutputSpeakerArrangement()); }, 31, 0, 0, false,
     0.0f, Answer::AsIs},
    {"getHostVendorString", [](E& e, void* m) -> V { return e.getHostVendorString(as<char>(m)); },
     32, 0, 0, true, 0.0f, Answer::NonZero},
    {"getHostProductString", [](E& e, void* m) -> V { return e.getHostProductString(as<char>(m)); },
     33, 0, 0, true, 0.0f, Answer::NonZero},
    {"getHostVendorVersion", [](E& e, void*) -> V { return e.getHostVendorVersion(); }, 34, 0, 0,
     false, 0.0f, Answer::AsIs},
    {"hostVendorSpecific", [](E& e, void* m) -> V { return e.hostVendorSpecific(7, -9, m, 2.5f); },
     35, 7, -9, true, 2.5f, Answer::AsIs},
    {"canHostDo", [](E& e, void* m) -> V { return e.canHostDo(as<char>(m)); }, 37, 0, 0, true, 0.0f,
     Answer::NonZero},
    {"getHostLanguage", [](E& e, void*) -> V { return e.getHostLanguage(); }, 38, 0, 0, false, 0.0f,
     Answer::AsIs},
    {"openWindow", [](E& e, void* m) -> V { return address(e.openWindow(as<VstWindow>(m))); }, 39,
     0, 0, true, 0.0f, Answer::AsIs},
    {"closeWindow", [](E& e, void* m) -> V { return e.closeWindow(as<VstWindow>(m)); }, 40, 0, 0,
     true, 0.0f, Answer::NonZero},
    {"getDirectory", [](E& e, void*) -> V { return address(e.getDirectory()); }, 41, 0, 0, false,
     0.0f, Answer::AsIs},
    {"updateDisplay", [](E& e, void*) -> V { return e.updateDisplay(); }, 42, 0, 0, false, 0.0f,
     Answer::NonZero},
    {"beginEdit", [](E& e, void*) -> V { return e.beginEdit(5); }, 43, 5, 0, false, 0.0f,
     Answer::NonZero},
    {"endEdit", [](E& e, void*) -> V { return e.endEdit(-5); }, 44, -5, 0, false, 0.0f,
     Answer::NonZero},
    {"openFileSelector",
     [](E& e, void* m) -> V { return e.openFileSelector(as<VstFileSelect>(m)); }, 45, 0, 0, true,
     0.0f, Answer::NonZero},
    {"closeFileSelector",
     [](E& e, void* m) -> V { return e.closeFileSelector(as<VstFileSelect>(m)); }, 46, 0, 0, true,
     0.0f, Answer::NonZero},
    {"getChunkFile", [](E& e, void* m) -> V { return e.getChunkFile(m); }, 48, 0, 0, true, 0.0f,
     Answer::NonZero},
    {"getInputSpeakerArrangement",
     [](E& e, void*) -> V { return address(e.getInputSpeakerArrangement()); }, 49, 0, 0, false,
     0.0f, Answer::AsIs},
};

VstIntPtr expected(Answer kind, VstIntPtr hostAnswer) {
  switch (kind) {
    case Answer::AsIs:
      return hostAnswer;
    case Answer::NonZero:
      return hostAnswer != 0 ? 1 : 0;
    case Answer::ExactlyOne:
      return hostAnswer == 1 ? 1 : 0;
    case Answer::Ignored:
      return 0;
  }
  return -999;
}

TEST(HostServices, SendOneRequestWithTheirArgumentsAndReadTheAnswer) {
  for (const Row& row : kRows) {
    for (VstIntPtr hostAnswer :
         {VstIntPtr{0}, VstIntPtr{1}, VstIntPtr{2}, VstIntPtr{-1}, VstIntPtr{0x12345678}}) {
      RecordingHost host;
      host.answer(row.opcode, hostAnswer);
      PlainEffect effect(host.master());
      char marker[64] = {};
      const VstIntPtr result = row.call(effect, marker);
      if (row.answer != Answer::Ignored) {
        EXPECT_EQ(result, expected(row.answer, hostAnswer))
            << row.name << " with the host answering " << hostAnswer;
      }
      ASSERT_EQ(host.calls().size(), 1u) << row.name;
      const HostCall& call = host.last();
      EXPECT_EQ(call.effect, effect.getAeffect()) << row.name;
      EXPECT_EQ(call.opcode, row.opcode) << row.name;
      EXPECT_EQ(call.index, row.index) << row.name;
      EXPECT_EQ(call.value, row.value) << row.name;
      EXPECT_EQ(call.ptr, row.sendsMarker ? static_cast<void*>(marker) : nullptr) << row.name;
      EXPECT_EQ(call.opt, row.opt) << row.name;
    }
  }
}

TEST(HostServices, AnswerNeutrallyWithoutAHost) {
  RecordingHost host;  // alive, but the effect does not know it
  for (const Row& row : kRows) {
    PlainEffect effect(nullptr);
    char marker[64] = {};
    EXPECT_EQ(row.call(effect, marker), 0) << row.name;
  }
  EXPECT_TRUE(host.calls().empty());

  PlainEffect effect(nullptr);
  EXPECT_EQ(effect.updateSampleRate(), 44100.0);
  EXPECT_EQ(effect.updateBlockSize(), 1024);
  EXPECT_TRUE(host.calls().empty());
}

TEST(HostServices, ServicesThatNeedAPointerDoNotAskWithoutOne) {
  RecordingHost host;
  for (VstInt32 opcode : {32, 33, 37, 45, 46, 48}) host.answer(opcode, 1);
  PlainEffect effect(host.master());
  EXPECT_FALSE(effect.openFileSelector(nullptr));
  EXPECT_FALSE(effect.closeFileSelector(nullptr));
  EXPECT_FALSE(effect.getChunkFile(nullptr));
  EXPECT_FALSE(effect.getHostVendorString(nullptr));
  EXPECT_FALSE(effect.getHostProductString(nullptr));
  EXPECT_EQ(effect.canHostDo(nullptr), 0);
  EXPECT_TRUE(host.calls().empty());
}

TEST(HostServices, UpdatesStorePositiveAnswersWithoutTheSetters) {
  struct UpdateRow {
    VstIntPtr answer;
    double rate;
    VstInt32 blockSize;
  };
  const UpdateRow rows[] = {
      {48000, 48000.0, 48000},
      {0, 44100.0, 1024},
      {-1, 44100.0, 1024},
  };
  for (const UpdateRow& row : rows) {
    RecordingHost host;
    host.answer(audioMasterGetSampleRate, row.answer);
    host.answer(audioMasterGetBlockSize, row.answer);
    RecordingEffect effect(host.master());
    EXPECT_EQ(effect.updateSampleRate(), row.rate) << row.answer;
    EXPECT_EQ(effect.getSampleRate(), static_cast<float>(row.rate)) << row.answer;
    EXPECT_EQ(effect.updateBlockSize(), row.blockSize) << row.answer;
    EXPECT_EQ(effect.getBlockSize(), row.blockSize) << row.answer;
    EXPECT_TRUE(effect.calls.empty()) << "setSampleRate/setBlockSize were called";
    ASSERT_EQ(host.calls().size(), 2u);
    EXPECT_EQ(host.calls()[0].opcode, audioMasterGetSampleRate);
    EXPECT_EQ(host.calls()[1].opcode, audioMasterGetBlockSize);
  }
}

TEST(HostServices, TheHostFillsTheCallersText) {
  RecordingHost host;
  host.handle(audioMasterGetVendorString, [](const HostCall& call) -> VstIntPtr {
    copyText(static_cast<char*>(call.ptr), "Acme Audio");
    return 1;
  });
  PlainEffect effect(host.master());
  char text[kHostTextSize] = {};
  EXPECT_TRUE(effect.getHostVendorString(text));
  EXPECT_STREQ(text, "Acme Audio");
}

}  // namespace
