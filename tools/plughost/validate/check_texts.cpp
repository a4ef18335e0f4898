// texts: every text opcode keeps to a 64-byte buffer and ends its text.
#include <algorithm>

#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {

void checkTexts(CheckContext& context) {
  ValidatedEffect effect(context);
  effect.text(effGetProgramName, 0, "program name");
  effect.text(effGetEffectName, 0, "effect name");
  effect.text(effGetVendorString, 0, "vendor");
  effect.text(effGetProductString, 0, "product");
  // Every parameter, up to a count that keeps the check short.
  const int parameters = std::min(effect.parameterCount(), kMaxCheckedParameters);
  for (int i = 0; i < parameters; ++i) {
    effect.text(effGetParamName, i, format("parameter %d", i));
    effect.text(effGetParamLabel, i, format("parameter %d", i));
    effect.text(effGetParamDisplay, i, format("parameter %d", i));
  }
  const int programs = std::min(effect.record().numPrograms, 256);
  for (int p = 0; p < programs; ++p) {
    effect.text(effGetProgramNameIndexed, p, format("program %d", p));
  }
  context.figure("texts_read", 4 + 3 * parameters + programs);
}

}  // namespace plughost
