// Checks that the engine behind an effect will come up, step by step as the
// bridge loads it, so a failure can be named: the registry key, its PathName,
// the engine library, its kelMain, the module and the processor. Used before
// installing and whenever an effect came up without its engine.
#pragma once

#include <cstdint>
#include <string>

#include "installation/effect_settings.h"

namespace plughost {

// Reason the registry does not lead to an engine for `guid`, or "" when it
// does; `enginePath` receives the PathName.
std::string registryProblem(const std::string& guid, std::string& enginePath);

// Throws CommandError when an engine is registered under `guid` in this
// process's registry view and is of the other width. An unregistered GUID
// passes: the engine may be registered later.
void requireRegisteredEngineOfOwnWidth(const std::string& guid);

struct EngineCheck {
  bool checkChannels = false;  // also run one block with the configured counts
  std::int32_t channelsIn = 0;
  std::int32_t channelsOut = 0;
};

// Reason the engine of `settings` cannot serve its processor, or "" when it
// can. Loads the engine, creates the processor once and releases everything
// before it returns. With checkChannels the processor processes one block and
// every output channel must be written.
std::string engineProblem(const installation::EffectSettings& settings, const EngineCheck& check);

}  // namespace plughost
