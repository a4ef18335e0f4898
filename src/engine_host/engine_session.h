// One engine opened as the bridge opens it: the library, its kelMain with the
// version check, one processor and, when asked for, its view; released in
// the one order engines are promised. The bridge, plughost's engine check
// and the benchmark all open engines through this class.
//
// Threads: open, start and close are [main]; processor() and view() are
// [any thread]. Ownership: the session owns the library and every engine
// object (released, never deleted, each exactly once); the IHost given to
// open stays the caller's and must outlive the session's close.
#pragma once

#include <atomic>
#include <cstdint>

#include "kel/kel_interfaces.h"
#include "platform/platform.h"

namespace enginehost {

// Why an engine did not open, step by step; `none` when it did.
enum class OpenFailure {
  none,
  libraryNotLoaded,  // the library could not be loaded
  noEntry,           // it has no export "kelMain"
  noModule,          // kelMain answered null
  refusedVersion,    // kelMain wrote a version this bridge does not serve
  noProcessor,       // createProcessor answered null
};

// True for the engine interface versions the bridge serves: 0 to
// kel::kHighestEngineVersion, compared unsigned, so a negative one is refused.
bool servesEngineVersion(std::int32_t version);

class EngineSession {
 public:
  EngineSession() = default;
  // Closes whatever is still open.
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  // [main] Loads the library at `libraryPath` (ANSI), calls kelMain with
  // `host`, checks the version it wrote, then creates processor
  // `processIndex` and, with `withView`, its view. Called once per session.
  // On failure nothing past the failed step was called, and what was
  // obtained is given back as the bridge does: a refused module is released
  // at once; without a processor the module is released and the library
  // unloaded at once; otherwise the library stays loaded until close. No
  // system call follows a failed load, so the caller may still ask the
  // system why.
  OpenFailure open(const char* libraryPath, kel::IHost* host, std::int32_t processIndex,
                   bool withView);

  // [main] Tells the open processor its channel counts, then initialises
  // and activates it; close then deactivates and terminates it.
  void start(std::int32_t inputs, std::int32_t outputs);

  // [main] Releases the view; deactivates and terminates a started
  // processor, then releases it; releases the module; unloads the library.
  // Each object is forgotten before its release, so an engine thread
  // calling back meanwhile finds it null, never released; the processor
  // stays visible through deactivate and terminate, whose notices are
  // served. Does nothing the second time.
  void close();

  // [any thread] The open processor; null before open succeeded, after a
  // failed open and from the moment close releases it.
  kel::IProcessor* processor() const { return liveProcessor.load(std::memory_order_acquire); }
  // [main] The view; null when not asked for, when the engine gave none, and
  // after close.
  kel::IView* view() const { return engineView; }
  // The version kelMain wrote; 0 before it was called.
  std::int32_t version() const { return engineVersion; }

 private:
  platform::Library library;
  kel::IModule* module = nullptr;
  std::atomic<kel::IProcessor*> liveProcessor{nullptr};
  kel::IView* engineView = nullptr;
  std::int32_t engineVersion = 0;
  bool started = false;
};

}  // namespace enginehost
