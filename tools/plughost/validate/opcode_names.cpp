#include "validate/opcode_names.h"

#include "vst/vst_opcodes.h"

namespace plughost {

// Made from the one opcode list; a number listed twice does not compile.
const char* opcodeName(VstInt32 opcode) {
  switch (opcode) {
#define KEL_OPCODE_NAME(name, number) \
  case number:                        \
    return #name;
    KEL_DISPATCHER_OPCODES(KEL_OPCODE_NAME)
#undef KEL_OPCODE_NAME
    default:
      return nullptr;
  }
}

}  // namespace plughost
