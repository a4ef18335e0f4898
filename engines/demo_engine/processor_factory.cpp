#include "processor_factory.h"

#include <new>

#include "filter_processor.h"
#include "gain_processor.h"
#include "synth_processor.h"

namespace demo {

DemoProcessor* createProcessor(std::int32_t processIndex) {
  switch (processIndex) {
    case 0:
      return new (std::nothrow) GainProcessor();
    case 1:
      return new (std::nothrow) FilterProcessor();
    case 2:
      return new (std::nothrow) SynthProcessor();
    default:
      return nullptr;
  }
}

}  // namespace demo
