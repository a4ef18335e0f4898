#include <cstring>
#include <string>

#include "test_engine/test_engine_script.h"

namespace testengine {

// The live-object count survives a reset: it describes objects that still
// exist, not an answer, so a reset between open and close keeps it honest.
void resetScript(Script& script) {
  const std::int32_t liveObjects = script.liveObjects;
  std::memset(&script, 0, sizeof script);
  script.liveObjects = liveObjects;

  script.version = static_cast<std::int32_t>(kel::kHighestEngineVersion);
  script.flags = 0;
  script.defaultOutputCount = 2;
  script.viewWidth = 400;
  script.viewHeight = 300;

  script.parameterCount = 1;
  ParameterScript& gain = script.parameters[0];
  gain.hasName = true;
  std::strcpy(gain.name, "Gain");
  gain.minimum = 0;
  gain.maximum = 100;
  gain.curve = 0;
  gain.automatable = 1;
}

bool applyScriptText(Script& script, const char* text) {
  struct Word {
    const char* name;
    bool Script::*flag;
  };
  static const Word kWords[] = {
      {"values-in-chunk", &Script::chunkHoldsValues},
      {"nan-output", &Script::nanOutput},
      {"growing-output", &Script::growingOutput},
      {"state-not-restored", &Script::stateNotRestored},
      {"state-resaved-differently", &Script::stateResavedDifferently},
      {"value-out-of-range", &Script::valueOutOfRange},
      {"ignores-set-parameter", &Script::ignoresSetParameter},
      {"crash-in-set-parameter", &Script::crashInSetParameter},
      {"crash-on-one-frame", &Script::crashOnOneFrame},
      {"hang-in-set-chunk", &Script::hangInSetChunk},
      {"leak-per-instance", &Script::leakPerInstance},
      {"write-past-block", &Script::writePastBlock},
      {"save-counter", &Script::saveCounter},
      {"unwritten-output", &Script::unwrittenOutput},
      {"allocate-in-process", &Script::allocateInProcess},
      {"heap-allocate-in-process", &Script::heapAllocateInProcess},
      {"lock-in-process", &Script::lockInProcess},
      {"slow-process", &Script::slowProcess},
      {"editor-leaks-gdi", &Script::editorLeaksGdi},
      {"crash-off-opening-thread", &Script::crashOffOpeningThread},
      {"stack-overflow-in-process", &Script::stackOverflowInProcess},
      {"exit-process-in-process", &Script::exitProcessInProcess},
      {"terminate-process-in-process", &Script::terminateProcessInProcess},
      {"abort-in-process", &Script::abortInProcess},
      {"foreign-throw-in-process", &Script::foreignThrowInProcess},
      {"faults-on-activate", &Script::faultsOnActivate},
      {"one-pole", &Script::onePole},
      {"shared-static-state", &Script::sharedStaticState},
      {"block-state-lost", &Script::blockStateLost},
      {"thread-local-state", &Script::threadLocalState},
      {"state-not-heard", &Script::stateNotHeard},
      {"rate-ignored", &Script::rateIgnored},
      {"resume-keeps-state", &Script::resumeKeepsState},
      {"nan-at-maximum", &Script::nanAtMaximum},
      {"chunk-last-field-unwritten", &Script::chunkLastFieldUnwritten},
      {"plays-notes", &Script::playsNotes},
      {"notes-never-stop", &Script::notesNeverStop},
      {"writes-input", &Script::writesInput},
      {"changes-fp-state", &Script::changesFloatingPoint},
      {"editor-top-level", &Script::editorTopLevel},
      {"editor-wrong-size", &Script::editorWrongSize},
      {"notify-while-created", &Script::notifyWhileCreated},
      {"state-by-width", &Script::stateByWidth},
  };
  bool known = true;
  const std::string all = text != nullptr ? text : "";
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find_first_of(" ,", start);
    if (end == std::string::npos) end = all.size();
    const std::string word = all.substr(start, end - start);
    start = end + 1;
    if (word.empty()) continue;
    if (word == "standalone") {
      resetScript(script);
      script.processHalves = true;
      script.chunkHoldsValues = true;
      continue;
    }
    if (word == "throw-in-process") {
      script.throwsInOp = true;
      script.throwingOp = Op::Process;
      continue;
    }
    if (word == "version-too-new") {
      script.version = static_cast<std::int32_t>(kel::kHighestEngineVersion) + 1;
      continue;
    }
    bool found = false;
    for (const Word& w : kWords) {
      if (word == w.name) {
        script.*(w.flag) = true;
        found = true;
      }
    }
    known = known && found;
  }
  return known;
}

}  // namespace testengine
