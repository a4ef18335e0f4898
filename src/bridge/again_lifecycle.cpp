// Start-up and shut-down of the bridge effect: configuration, registry,
// engine library, engine objects, parameter map, effect record and editor.
#include <cstdlib>
#include <new>

#include "bridge/again.h"
#include "bridge/bridge_configuration.h"
#include "bridge/module_instance.h"
#include "bridge/vst_editor.h"
#include "installation/engine_registration.h"

namespace {

constexpr const char kRegistryError[] =
    "Registry error\nPlease ensure this product has been installed properly";
constexpr const char kRegistryReadError[] =
    "Registry read error\nPlease ensure this product has been installed properly";

// Finds the engine library's path registered for `guid`. Shows the matching
// error box and answers false when the product is not installed.
bool readEnginePath(const char* guid, char* path, std::size_t size) {
  switch (installation::findEnginePath(guid, path, size)) {
    case installation::EngineLookup::found:
      return true;
    case installation::EngineLookup::noKey:
      platform::showErrorBox(kRegistryError);
      return false;
    case installation::EngineLookup::noValue:
      break;
  }
  platform::showErrorBox(kRegistryReadError);
  return false;
}

// Forgets an engine object, then releases it: exactly once, and a change
// notice arriving meanwhile never finds a released object.
template <typename Object>
void releaseOnce(Object*& object) {
  if (object == nullptr) return;
  Object* released = object;
  object = nullptr;
  released->release();
}

}  // namespace

AGain::AGain(audioMasterCallback host) : AudioEffectX(host, 1, 1) {
  if (!loadEngine()) {
    // Without an engine the effect is what its record says: the base
    // channel counts and no name; what the .ini file promised is void.
    name[0] = '\0';
    return;
  }

  buildParameterMap();
  numParams = parameterMap.hostCount();
  cEffect.numParams = numParams;
  ready.store(true, std::memory_order_release);

  canMono(true);
  cEffect.numInputs = inputCount;
  cEffect.numOutputs = outputCount;
  cEffect.uniqueID = uniqueId;
  canProcessReplacing(true);
  programsAreChunks(true);
  copyText(programName, kProgramName, sizeof programName);
  if (takesMidi) isSynth(true);

  kel::IProcessor* engine = liveProcessor();
  engine->setInputCount(inputCount);
  engine->setOutputCount(outputCount);
  engine->initialize();
  engine->activate();

  // Without a view there is nothing to show: the host sees no editor.
  if (view != nullptr) new (std::nothrow) CVSTEditor(this, view);
}

AGain::~AGain() {
  std::free(chunkBuffer);
  chunkBuffer = nullptr;

  AEffEditor* ownEditor = editor;
  setEditor(nullptr);
  delete ownEditor;

  // Each engine object is released once and forgotten first, so a change
  // notice the engine sends meanwhile never reaches a released object. The
  // processor stays published through deactivate and terminate, whose
  // notices are served; an engine thread that read it before the exchange
  // is the engine's to stop before its release returns.
  releaseOnce(view);
  if (kel::IProcessor* engine = liveProcessor()) {
    engine->deactivate();
    engine->terminate();
    processor.store(nullptr, std::memory_order_release);
    engine->release();
  }
  releaseOnce(module);
  engineLibrary.unload();
  // The parameter maps and the name go with the members, after this body.
}

bool AGain::loadEngine() {
  const installation::EffectSettings config = kel::readBridgeConfiguration(moduleInstance);
  copyText(name, config.name, sizeof name);
  inputCount = config.channelsIn;
  outputCount = config.channelsOut;
  uniqueId = config.uniqueId;
  copyText(vendor, config.vendor, sizeof vendor);
  vendorVersion = config.vendorVersion;

  char enginePath[installation::kPathSize];
  if (!readEnginePath(config.guid, enginePath, sizeof enginePath)) return false;

  if (!engineLibrary.load(enginePath)) return false;
  auto entry = reinterpret_cast<kel::KelMainProc>(engineLibrary.symbol("kelMain"));
  if (entry == nullptr) return false;

  std::int32_t version = 0;
  module = entry(this, &version);
  if (module == nullptr) return false;
  if (static_cast<std::uint32_t>(version) > kel::kHighestEngineVersion) {
    releaseOnce(module);
    return false;
  }

  kel::IProcessor* engine = module->createProcessor(config.processIndex);
  // Without a processor there is no effect: nothing may be called through
  // the missing object, so the engine is given back at once.
  if (engine == nullptr) {
    releaseOnce(module);
    engineLibrary.unload();
    return false;
  }
  processor.store(engine, std::memory_order_release);
  view = module->createView(engine);
  takesMidi = (engine->getFlags() & kel::kProcessorTakesMidi) != 0;
  if (outputCount == 0) {
    const std::int32_t engineDefault = engine->getDefaultOutputCount();
    outputCount = engineDefault > 0 ? engineDefault : 0;
  }
  return true;
}

VstInt32 AGain::buildParameterMap() {
  return parameterMap.build(*liveProcessor());
}

VstInt32 AGain::getHostParameterCount() {
  return parameterMap.hostCount();
}
