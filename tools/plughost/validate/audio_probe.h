// Runs prepared blocks through an effect and judges what comes out: finite,
// within kOutputBound, nothing written outside the block.
#pragma once

#include <string>

#include "validate/check_context.h"
#include "validate/guarded_buffers.h"
#include "validate/validated_effect.h"

namespace plughost {

// +36 dBFS: far above any sane level, far below a runaway.
constexpr float kOutputBound = 64.0f;

// Prepares `audio` with `signal`, processes `frames` frames and checks the
// result; false, after one failure naming `where`, on a fault.
bool processChecked(CheckContext& context, ValidatedEffect& effect, GuardedAudio& audio,
                    Signal signal, int frames, bool inPlace, long offset, const std::string& where);

// Level in dBFS of a peak, for messages.
double decibels(float peak);

}  // namespace plughost
