#include "demo_module.h"

#include "processor_factory.h"

namespace demo {

kel::IProcessor* DemoModule::createProcessor(std::int32_t processIndex) {
  return demo::createProcessor(processIndex);
}

kel::IView* DemoModule::createView(kel::IProcessor* processor) {
  if (!processor || !viewFactory_) return nullptr;
  return viewFactory_(static_cast<DemoProcessor*>(processor), host_);
}

}  // namespace demo
