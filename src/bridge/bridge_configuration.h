// The settings of the effect the bridge is: those in the file beside the
// plug-in library it was loaded from.
#pragma once

#include "installation/effect_settings.h"

namespace bridge {

// Reads the settings of the library `module` (a missing file or keys: the
// defaults). Allocates nothing.
installation::EffectSettings readBridgeConfiguration(void* module);

}  // namespace bridge
