#include <cstring>

#include "test_engine/test_engine_script.h"

namespace testengine {

// The live-object count survives a reset: it describes objects that still
// exist, not an answer, so a reset between open and close keeps it honest.
void resetScript(Script& script) {
  const std::int32_t liveObjects = script.liveObjects;
  std::memset(&script, 0, sizeof script);
  script.liveObjects = liveObjects;

  script.version = 5;
  script.flags = 0;
  script.defaultOutputCount = 2;
  script.viewWidth = 400;
  script.viewHeight = 300;

  script.parameterCount = 1;
  ParameterScript& gain = script.parameters[0];
  gain.hasName = true;
  std::strcpy(gain.name, "Gain");
  gain.minimum = 0;
  gain.maximum = 100;
  gain.curve = 0;
  gain.automatable = 1;
}

}  // namespace testengine
