#include "bridge/create_effect.h"

#include <new>

#include "bridge/again.h"
#include "vst/vst_opcodes.h"

AEffect* createEffect(audioMasterCallback audioMaster) {
  if (audioMaster == nullptr) return nullptr;
  try {
    if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    AGain* effect = new (std::nothrow) AGain(audioMaster);
    return effect != nullptr ? effect->getAeffect() : nullptr;
  } catch (...) {
    return nullptr;
  }
}
