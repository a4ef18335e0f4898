// The engine's module object, answered by kelMain: it creates the processors
// and, through a factory supplied by the platform layer, their editor views.
#pragma once

#include "demo_processor.h"
#include "kel/kel_interfaces.h"

namespace demo {

// Makes a view for `processor` that reports edits to `host` (may be null).
using ViewFactory = kel::IView* (*)(DemoProcessor* processor, kel::IHost* host);

class DemoModule : public kel::IModule {
 public:
  // `host` must outlive every object this module creates; `viewFactory` may be
  // null, and then the module has no views.
  DemoModule(kel::IHost* host, ViewFactory viewFactory) : host_(host), viewFactory_(viewFactory) {}
  virtual ~DemoModule() = default;

  // [main] Destroys the module; processors and views it created live on until
  // released.
  void release() override { delete this; }
  // [main] A new processor owned by the caller, null for an unknown index.
  kel::IProcessor* createProcessor(std::int32_t processIndex) override;
  // [main] A view of a processor made by this module, or null.
  kel::IView* createView(kel::IProcessor* processor) override;

 private:
  kel::IHost* host_;
  ViewFactory viewFactory_;
};

}  // namespace demo
