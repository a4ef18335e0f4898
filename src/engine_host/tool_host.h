// The host side an engine sees when a tool opens it without a plug-in host
// behind it (plughost's engine check, the benchmark): it answers the same
// version and flag as the bridge, no tempo (0.0, as the bridge answers a
// host without time information) and lets parameter changes go, since no
// host is there to be told.
//
// Threads: [any thread], like every kel::IHost; it holds no state.
#pragma once

#include <cstdint>

#include "kel/kel_interfaces.h"

namespace enginehost {

class ToolHost final : public kel::IHost {
 public:
  // The value getTempo answers: no host time information.
  static constexpr double kNoTempo = 0.0;

  std::int32_t getVersion() override { return kel::kHostVersion; }
  void parameterChanged(std::int32_t) override {}
  double getTempo() override { return kNoTempo; }
  std::int32_t getHostFlag() override { return kel::kHostFlag; }
};

}  // namespace enginehost
