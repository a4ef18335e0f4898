// What install and uninstall count as ours: the bridge plug-in (the library
// the linker named kelbridge.dll, with "main" its one export) and an effect
// copy of it, a copy of that DLL beside an .ini with a [KEL] section. Nothing
// else at a target is replaced or removed without --force.
#pragma once

#include <string>

#include "installation/effect_settings.h"

namespace plughost {

// True when the file at `path` is the bridge plug-in or a copy of it,
// whatever its file name.
bool isBridgeImage(const std::string& path);

// Why install must not write `settings`' effect as `dll` and its .ini, or ""
// when it may: neither file exists, or they hold an earlier copy of the
// bridge for the same effect (its .ini names the same engine GUID and
// process index; the ID, channels and DLL may change).
std::string replacementProblem(const std::string& dll,
                               const installation::EffectSettings& settings);

// Why uninstall must not remove `dll` and its .ini, or "" when they are an
// effect copy install made (the DLL may be missing).
std::string removalProblem(const std::string& dll);

}  // namespace plughost
