// Names of the dispatcher opcodes, for the "last call" in reports.
#pragma once

#include "vst/vst_types.h"

namespace plughost {

// "effGetParamName" for 8; "opcode 99" style text is the caller's job when
// this answers null (an opcode outside the known range).
const char* opcodeName(VstInt32 opcode);

}  // namespace plughost
