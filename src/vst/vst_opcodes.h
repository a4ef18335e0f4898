// Opcode numbers of the VST 2 dispatcher (host to plug-in) and of the host
// callback (plug-in to host), each written out: hosts send these numbers.
#pragma once

#include "vst/vst_types.h"

// The dispatcher's opcodes, one X(name, number) each in number order: the
// enumeration below and the names plughost reports are both made from it.
#define KEL_DISPATCHER_OPCODES(X)                  \
  X(effOpen, 0)                                    \
  X(effClose, 1)                                   \
  X(effSetProgram, 2)                              \
  X(effGetProgram, 3)                              \
  X(effSetProgramName, 4)                          \
  X(effGetProgramName, 5)                          \
  X(effGetParamLabel, 6)                           \
  X(effGetParamDisplay, 7)                         \
  X(effGetParamName, 8)                            \
  X(effGetVu, 9)                                   \
  X(effSetSampleRate, 10)                          \
  X(effSetBlockSize, 11)                           \
  X(effMainsChanged, 12)                           \
  X(effEditGetRect, 13)                            \
  X(effEditOpen, 14)                               \
  X(effEditClose, 15)                              \
  X(effEditDraw, 16)                               \
  X(effEditMouse, 17)                              \
  X(effEditKey, 18)                                \
  X(effEditIdle, 19)                               \
  X(effEditTop, 20)                                \
  X(effEditSleep, 21)                              \
  X(effIdentify, 22)                               \
  X(effGetChunk, 23)                               \
  X(effSetChunk, 24)                               \
  /* Extended opcodes, handled by AudioEffectX. */ \
  X(effProcessEvents, 25)                          \
  X(effCanBeAutomated, 26)                         \
  X(effString2Parameter, 27)                       \
  X(effGetNumProgramCategories, 28)                \
  X(effGetProgramNameIndexed, 29)                  \
  X(effCopyProgram, 30)                            \
  X(effConnectInput, 31)                           \
  X(effConnectOutput, 32)                          \
  X(effGetInputProperties, 33)                     \
  X(effGetOutputProperties, 34)                    \
  X(effGetPlugCategory, 35)                        \
  X(effGetCurrentPosition, 36)                     \
  X(effGetDestinationBuffer, 37)                   \
  X(effOfflineNotify, 38)                          \
  X(effOfflinePrepare, 39)                         \
  X(effOfflineRun, 40)                             \
  X(effProcessVarIo, 41)                           \
  X(effSetSpeakerArrangement, 42)                  \
  X(effSetBlockSizeAndSampleRate, 43)              \
  X(effSetBypass, 44)                              \
  X(effGetEffectName, 45)                          \
  X(effGetErrorText, 46)                           \
  X(effGetVendorString, 47)                        \
  X(effGetProductString, 48)                       \
  X(effGetVendorVersion, 49)                       \
  X(effVendorSpecific, 50)                         \
  X(effCanDo, 51)                                  \
  X(effGetTailSize, 52)                            \
  X(effIdle, 53)                                   \
  X(effGetIcon, 54)                                \
  X(effSetViewPosition, 55)                        \
  X(effGetParameterProperties, 56)                 \
  X(effKeysRequired, 57)                           \
  X(effGetVstVersion, 58)                          \
  X(effEditKeyDown, 59)                            \
  X(effEditKeyUp, 60)                              \
  X(effSetEditKnobMode, 61)                        \
  X(effGetMidiProgramName, 62)                     \
  X(effGetCurrentMidiProgram, 63)                  \
  X(effGetMidiProgramCategory, 64)                 \
  X(effHasMidiProgramsChanged, 65)                 \
  X(effGetMidiKeyName, 66)                         \
  X(effBeginSetProgram, 67)                        \
  X(effEndSetProgram, 68)                          \
  X(effGetSpeakerArrangement, 69)                  \
  X(effShellGetNextPlugin, 70)                     \
  X(effStartProcess, 71)                           \
  X(effStopProcess, 72)                            \
  X(effSetTotalSampleToProcess, 73)                \
  X(effSetPanLaw, 74)                              \
  X(effBeginLoadBank, 75)                          \
  X(effBeginLoadProgram, 76)

#define KEL_OPCODE_ENUMERATOR(name, number) name = number,
enum AEffectOpcodes : VstInt32 { KEL_DISPATCHER_OPCODES(KEL_OPCODE_ENUMERATOR) };
#undef KEL_OPCODE_ENUMERATOR

enum AudioMasterOpcodes : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion = 1,
  audioMasterCurrentId = 2,
  audioMasterIdle = 3,
  audioMasterPinConnected = 4,
  audioMasterWantMidi = 6,
  audioMasterGetTime = 7,
  audioMasterProcessEvents = 8,
  audioMasterTempoAt = 10,
  audioMasterGetNumAutomatableParameters = 11,
  audioMasterGetParameterQuantization = 12,
  audioMasterIOChanged = 13,
  audioMasterNeedIdle = 14,
  audioMasterSizeWindow = 15,
  audioMasterGetSampleRate = 16,
  audioMasterGetBlockSize = 17,
  audioMasterGetInputLatency = 18,
  audioMasterGetOutputLatency = 19,
  audioMasterGetPreviousPlug = 20,
  audioMasterGetNextPlug = 21,
  audioMasterWillReplaceOrAccumulate = 22,
  audioMasterGetCurrentProcessLevel = 23,
  audioMasterGetAutomationState = 24,
  audioMasterOfflineStart = 25,
  audioMasterOfflineRead = 26,
  audioMasterOfflineWrite = 27,
  audioMasterOfflineGetCurrentPass = 28,
  audioMasterOfflineGetCurrentMetaPass = 29,
  audioMasterSetOutputSampleRate = 30,
  audioMasterGetOutputSpeakerArrangement = 31,
  audioMasterGetVendorString = 32,
  audioMasterGetProductString = 33,
  audioMasterGetVendorVersion = 34,
  audioMasterVendorSpecific = 35,
  audioMasterCanDo = 37,
  audioMasterGetLanguage = 38,
  audioMasterOpenWindow = 39,
  audioMasterCloseWindow = 40,
  audioMasterGetDirectory = 41,
  audioMasterUpdateDisplay = 42,
  audioMasterBeginEdit = 43,
  audioMasterEndEdit = 44,
  audioMasterOpenFileSelector = 45,
  audioMasterCloseFileSelector = 46,
  audioMasterGetChunkFile = 48,
  audioMasterGetInputSpeakerArrangement = 49,
};

// Answer to effIdentify.
constexpr VstInt32 kEffectIdentify = fourCharCode('N', 'v', 'E', 'f');
// uniqueID of a freshly constructed effect.
constexpr VstInt32 kDefaultUniqueId = fourCharCode('N', 'o', 'E', 'f');
static_assert(kEffectIdentify == 0x4E764566, "effIdentify answer");
static_assert(kDefaultUniqueId == 0x4E6F4566, "default unique ID");
