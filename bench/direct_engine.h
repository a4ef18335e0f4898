// An engine processor opened without the plug-in: the engine library's
// kelMain, one module, processor 0 with two inputs and two outputs,
// initialised and activated, exactly as the plug-in sets up its own. The
// benchmark calls it directly to have the cost of the engine alone.
#pragma once

#include <string>

#include "kel/kel_interfaces.h"
#include "platform/platform.h"

namespace bench {

class DirectEngine {
 public:
  // `libraryPath` names the engine DLL; processor() is null when any step
  // of the set-up fails.
  explicit DirectEngine(const std::string& libraryPath);
  ~DirectEngine();
  DirectEngine(const DirectEngine&) = delete;
  DirectEngine& operator=(const DirectEngine&) = delete;

  kel::IProcessor* processor() const { return engineProcessor; }

 private:
  class Host;
  Host* host = nullptr;
  platform::Library library;
  kel::IModule* module = nullptr;
  kel::IProcessor* engineProcessor = nullptr;
};

// The folder of the running program, with its trailing backslash: the built
// DLLs lie beside the benchmark.
std::string programFolder();

}  // namespace bench
