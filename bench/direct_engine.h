// An engine processor opened without the plug-in: the engine library's
// kelMain, one module, processor 0 with two inputs and two outputs,
// initialised and activated, exactly as the plug-in sets up its own. The
// benchmark calls it directly to have the cost of the engine alone.
#pragma once

#include <string>

#include "engine_host/engine_session.h"
#include "engine_host/tool_host.h"

namespace bench {

class DirectEngine {
 public:
  // `libraryPath` names the engine DLL; processor() is null when any step
  // of the set-up fails, a version the plug-in would refuse included.
  explicit DirectEngine(const std::string& libraryPath);

  kel::IProcessor* processor() const { return session.processor(); }

 private:
  // Declared first, so it outlives the session that hands it to the engine.
  enginehost::ToolHost host;
  enginehost::EngineSession session;
};

// The folder of the running program, with its trailing backslash: the built
// DLLs lie beside the benchmark.
std::string programFolder();

}  // namespace bench
