#include "bridge/parameter_map.h"

namespace bridge {

// The caller's record arrives freshly constructed, so whatever the engine
// leaves alone reads as 0 or null. The engine's answer carries no result.
void describeParameter(kel::IProcessor& processor, std::int32_t engineIndex,
                       kel::SParameterInfo& info) {
  processor.getParameterInfo(engineIndex, &info);
}

// emplace() never replaces an existing key: a second build only adds what
// the first did not know.
std::int32_t ParameterMap::build(kel::IProcessor& processor) {
  const std::int32_t engineCount = processor.getParameterCount();
  hostParameterCount = 0;
  std::int32_t hostIndex = 0;
  for (std::int32_t engineIndex = 0; engineIndex < engineCount; ++engineIndex) {
    kel::SParameterInfo info;
    describeParameter(processor, engineIndex, info);
    if (info.automatable != 0) {
      ++hostParameterCount;
      hostToEngineMap.emplace(hostIndex, engineIndex);
      engineToHostMap.emplace(engineIndex, hostIndex);
      ++hostIndex;
    } else {
      engineToHostMap.emplace(engineIndex, -1);
    }
  }
  return engineCount;
}

bool ParameterMap::engineIndexOf(std::int32_t hostIndex, std::int32_t* engineIndex) const {
  const auto found = hostToEngineMap.find(hostIndex);
  if (found == hostToEngineMap.end()) return false;
  if (engineIndex != nullptr) *engineIndex = found->second;
  return true;
}

bool ParameterMap::hostIndexOf(std::int32_t engineIndex, std::int32_t* hostIndex) const {
  const auto found = engineToHostMap.find(engineIndex);
  if (found == engineToHostMap.end() || found->second < 0) return false;
  if (hostIndex != nullptr) *hostIndex = found->second;
  return true;
}

}  // namespace bridge
