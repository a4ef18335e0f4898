// Which processor each process index creates.
#pragma once

#include <cstdint>

#include "demo_processor.h"

namespace demo {

constexpr std::int32_t kProcessorCount = 3;  // 0 gain, 1 filter, 2 synth

// A new processor owned by the caller (dispose of it with release()), or null
// for an unknown index or when memory runs out.
DemoProcessor* createProcessor(std::int32_t processIndex);

}  // namespace demo
