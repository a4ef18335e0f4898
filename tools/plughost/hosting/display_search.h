// Finding the normalised value (0..1) at which a parameter shows a given
// display text, e.g. "-6dB", "1 kHz" or "Highpass", by asking the plug-in for
// its display at trial values.
#pragma once

#include <functional>
#include <string>

namespace plughost {

// The parameter's display text at a normalised value (setting it to look).
using DisplayAt = std::function<std::string(float)>;

// Numbers are compared as numbers: "-6dB" matches a display "-6.0" with the
// label "dB", to the display's own precision; a unit given must be the
// label. A number beyond the numbers shown next to a text at an end of the
// range ("0 %" where the minimum shows "Off") finds that end. Other texts
// match a display ignoring case and spaces. False with a
// one-line reason in `error` when no value shows `wanted`.
bool findDisplayedValue(const std::string& wanted, const std::string& label,
                        const DisplayAt& displayAt, float& value, std::string& error);

// The display as a host shows it with the unit label: "-6.0 dB", "-inf dB",
// but a text in place of a number ("Off", an engine's text at an end of the
// range) without the label, which belongs to numbers.
std::string withLabel(const std::string& display, const std::string& label);

}  // namespace plughost
