// Runs one check in a child process of plughost and tells how it ended: its
// result lines, or the crash (exception code) or hang (timeout), each with
// the call the child was making.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

struct ChildOutcome {
  bool started = false;
  std::string startError;  // why the child could not be started
  bool timedOut = false;
  std::uint32_t exitCode = 0;
  std::string results;   // the child's result lines
  std::string lastCall;  // the call in progress on the thread that ended it
  std::string ending;    // how the plug-in ended it, when no exception code says it
  std::string dialog;    // text of a dialog box the child was showing, if any
};

// Starts this program with `arguments` plus "--channel HANDLE" and waits at
// most `timeoutMs`, then terminates it. The child's own output goes nowhere.
ChildOutcome runChild(const std::vector<std::string>& arguments, int timeoutMs);

// Exit codes at or above this are exception codes of a crashed process.
constexpr std::uint32_t kFirstExceptionCode = 0xC0000000u;

}  // namespace plughost
