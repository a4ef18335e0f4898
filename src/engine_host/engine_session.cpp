#include "engine_host/engine_session.h"

namespace enginehost {
namespace {

// Forgets an engine object, then releases it: exactly once, and a call back
// arriving meanwhile never finds a released object.
template <typename Object>
void releaseOnce(Object*& object) {
  if (object == nullptr) return;
  Object* released = object;
  object = nullptr;
  released->release();
}

}  // namespace

bool servesEngineVersion(std::int32_t version) {
  return static_cast<std::uint32_t>(version) <= kel::kHighestEngineVersion;
}

EngineSession::~EngineSession() {
  close();
}

OpenFailure EngineSession::open(const char* libraryPath, kel::IHost* host,
                                std::int32_t processIndex, bool withView) {
  if (!library.load(libraryPath)) return OpenFailure::libraryNotLoaded;
  auto entry = reinterpret_cast<kel::KelMainProc>(library.symbol("kelMain"));
  if (entry == nullptr) return OpenFailure::noEntry;

  module = entry(host, &engineVersion);
  if (module == nullptr) return OpenFailure::noModule;
  if (!servesEngineVersion(engineVersion)) {
    releaseOnce(module);
    return OpenFailure::refusedVersion;
  }

  kel::IProcessor* processor = module->createProcessor(processIndex);
  // Without a processor there is nothing to serve, and nothing may be
  // called through the missing object: the engine is given back at once.
  if (processor == nullptr) {
    releaseOnce(module);
    library.unload();
    return OpenFailure::noProcessor;
  }
  liveProcessor.store(processor, std::memory_order_release);
  if (withView) engineView = module->createView(processor);
  return OpenFailure::none;
}

void EngineSession::start(std::int32_t inputs, std::int32_t outputs) {
  kel::IProcessor* engine = processor();
  if (engine == nullptr || started) return;
  engine->setInputCount(inputs);
  engine->setOutputCount(outputs);
  engine->initialize();
  engine->activate();
  started = true;
}

void EngineSession::close() {
  releaseOnce(engineView);
  if (kel::IProcessor* engine = processor()) {
    if (started) {
      engine->deactivate();
      engine->terminate();
      started = false;
    }
    liveProcessor.store(nullptr, std::memory_order_release);
    engine->release();
  }
  releaseOnce(module);
  library.unload();
}

}  // namespace enginehost
