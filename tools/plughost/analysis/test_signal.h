// Generated input signals for rendering: a 440 Hz sine, white noise from a
// fixed seed (the same every run) or silence, all at half full scale.
#pragma once

#include <string>

#include "formats/audio_buffer.h"

namespace plughost {

constexpr double kTestSignalAmplitude = 0.5;
constexpr double kTestSineHz = 440.0;

// False when `kind` is not "sine", "noise" or "silence".
bool generateTestSignal(const std::string& kind, int channels, std::size_t frames, int sampleRate,
                        AudioBuffer& audio);

}  // namespace plughost
