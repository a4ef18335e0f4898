#include "validate/opcode_names.h"

#include "vst/vst_opcodes.h"

namespace plughost {
namespace {

// In opcode order, from effOpen (0) to effBeginLoadProgram (76).
const char* const kNames[] = {"effOpen",
                              "effClose",
                              "effSetProgram",
                              "effGetProgram",
                              "effSetProgramName",
                              "effGetProgramName",
                              "effGetParamLabel",
                              "effGetParamDisplay",
                              "effGetParamName",
                              "effGetVu",
                              "effSetSampleRate",
                              "effSetBlockSize",
                              "effMainsChanged",
                              "effEditGetRect",
                              "effEditOpen",
                              "effEditClose",
                              "effEditDraw",
                              "effEditMouse",
                              "effEditKey",
                              "effEditIdle",
                              "effEditTop",
                              "effEditSleep",
                              "effIdentify",
                              "effGetChunk",
                              "effSetChunk",
                              "effProcessEvents",
                              "effCanBeAutomated",
                              "effString2Parameter",
                              "effGetNumProgramCategories",
                              "effGetProgramNameIndexed",
                              "effCopyProgram",
                              "effConnectInput",
                              "effConnectOutput",
                              "effGetInputProperties",
                              "effGetOutputProperties",
                              "effGetPlugCategory",
                              "effGetCurrentPosition",
                              "effGetDestinationBuffer",
                              "effOfflineNotify",
                              "effOfflinePrepare",
                              "effOfflineRun",
                              "effProcessVarIo",
                              "effSetSpeakerArrangement",
                              "effSetBlockSizeAndSampleRate",
                              "effSetBypass",
                              "effGetEffectName",
                              "effGetErrorText",
                              "effGetVendorString",
                              "effGetProductString",
                              "effGetVendorVersion",
                              "effVendorSpecific",
                              "effCanDo",
                              "effGetTailSize",
                              "effIdle",
                              "effGetIcon",
                              "effSetViewPosition",
                              "effGetParameterProperties",
                              "effKeysRequired",
                              "effGetVstVersion",
                              "effEditKeyDown",
                              "effEditKeyUp",
                              "effSetEditKnobMode",
                              "effGetMidiProgramName",
                              "effGetCurrentMidiProgram",
                              "effGetMidiProgramCategory",
                              "effHasMidiProgramsChanged",
                              "effGetMidiKeyName",
                              "effBeginSetProgram",
                              "effEndSetProgram",
                              "effGetSpeakerArrangement",
                              "effShellGetNextPlugin",
                              "effStartProcess",
                              "effStopProcess",
                              "effSetTotalSampleToProcess",
                              "effSetPanLaw",
                              "effBeginLoadBank",
                              "effBeginLoadProgram"};
static_assert(sizeof kNames / sizeof kNames[0] == effBeginLoadProgram + 1, "one name per opcode");

}  // namespace

const char* opcodeName(VstInt32 opcode) {
  if (opcode < 0 || opcode > effBeginLoadProgram) return nullptr;
  return kNames[opcode];
}

}  // namespace plughost
