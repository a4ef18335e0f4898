// What the plug-in's export "main" does: one new bridge effect for a host.
#pragma once

#include "vst/vst_types.h"

// [main] The host's loading thread. Answers a new effect's record, owned by the host until
// it sends effClose, or null when the host has no callback, reports version 0
// or the effect cannot be created. Never throws.
AEffect* createEffect(audioMasterCallback audioMaster);
