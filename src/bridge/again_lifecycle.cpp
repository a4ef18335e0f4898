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

}  // namespace

AGain::AGain(audioMasterCallback host) : AudioEffectX(host, 1, 1) {
  const AEffect baseRecord = cEffect;
  bool engineThrew = false;
  try {
    if (setUpEngine()) return;
  } catch (...) {
    // Only where the engine's exceptions can reach us (64-bit builds). The
    // exception object and its type live in the engine library, so it must
    // be over before the library goes: hence here, not in createEffect.
    engineThrew = true;
  }
  if (engineThrew) {
    // What set-up gave the record and the engine goes with the engine.
    ready.store(false, std::memory_order_release);
    engineSession.close();
    cEffect = baseRecord;
    numParams = cEffect.numParams;
    takesMidi = false;
    programName[0] = '\0';
  }
  // Without an engine the effect is what its record says: the base
  // channel counts and no name; what the .ini file promised is void.
  name[0] = '\0';
}

bool AGain::setUpEngine() {
  if (!loadEngine()) return false;

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

  engineSession.start(inputCount, outputCount);

  // Without a view there is nothing to show: the host sees no editor.
  if (kel::IView* view = engineSession.view()) new (std::nothrow) CVSTEditor(this, view);
  return true;
}

AGain::~AGain() {
  std::free(chunkBuffer);
  chunkBuffer = nullptr;

  AEffEditor* ownEditor = editor;
  setEditor(nullptr);
  delete ownEditor;

  // View, processor (deactivated and terminated first), module, library;
  // change notices the engine sends meanwhile are served until the
  // processor is forgotten, and never reach a released object. An engine
  // thread that read the processor before that is the engine's to stop
  // before its release returns.
  engineSession.close();
  // The parameter maps and the name go with the members, after this body,
  // so they outlive every engine object.
}

bool AGain::loadEngine() {
  const installation::EffectSettings config = bridge::readBridgeConfiguration(moduleInstance);
  copyText(name, config.name, sizeof name);
  inputCount = config.channelsIn;
  outputCount = config.channelsOut;
  uniqueId = config.uniqueId;
  copyText(vendor, config.vendor, sizeof vendor);
  vendorVersion = config.vendorVersion;

  char enginePath[installation::kPathSize];
  if (!readEnginePath(config.guid, enginePath, sizeof enginePath)) return false;

  // Every failure from here on is silent: the host just gets no engine.
  constexpr bool kWithView = true;
  if (engineSession.open(enginePath, this, config.processIndex, kWithView) !=
      enginehost::OpenFailure::none) {
    return false;
  }
  kel::IProcessor* processor = liveProcessor();
  takesMidi = (processor->getFlags() & kel::kProcessorTakesMidi) != 0;
  if (outputCount == 0) {
    const std::int32_t engineDefault = processor->getDefaultOutputCount();
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
