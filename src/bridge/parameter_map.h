// Numbering of the host's parameters: the engine parameters whose description
// marks them automatable become host parameters 0..n-1, in engine order.
// [main] Built once during construction; [any thread] only read afterwards.
#pragma once

#include <cstdint>
#include <map>

#include "kel/kel_interfaces.h"

namespace bridge {

// Asks the engine to describe one parameter into `info`, which the caller
// constructs fresh for each call: fields the engine leaves alone read as 0.
void describeParameter(kel::IProcessor& processor, std::int32_t engineIndex,
                       kel::SParameterInfo& info);

class ParameterMap {
 public:
  // Asks the processor for its parameters and numbers the exposed ones.
  // Returns the engine's parameter count. Runs once per object: entries are
  // only ever inserted, never replaced.
  std::int32_t build(kel::IProcessor& processor);

  // Engine index of a host parameter; false when the host index is unknown.
  bool engineIndexOf(std::int32_t hostIndex, std::int32_t* engineIndex) const;
  // Host index of an engine parameter; false when the engine index is unknown
  // or the parameter is hidden from the host.
  bool hostIndexOf(std::int32_t engineIndex, std::int32_t* hostIndex) const;

  std::int32_t hostCount() const { return hostParameterCount; }
  const std::map<std::int32_t, std::int32_t>& hostToEngine() const { return hostToEngineMap; }
  const std::map<std::int32_t, std::int32_t>& engineToHost() const { return engineToHostMap; }

 private:
  std::int32_t hostParameterCount = 0;
  std::map<std::int32_t, std::int32_t> engineToHostMap;  // hidden parameters map to -1
  std::map<std::int32_t, std::int32_t> hostToEngineMap;
};

}  // namespace bridge
