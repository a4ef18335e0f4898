#include "validate/check_list.h"

#include <algorithm>

namespace plughost {

const std::vector<CheckInfo>& allChecks() {
  static const std::vector<CheckInfo> checks = {{"open", checkOpen},
                                                {"texts", checkTexts},
                                                {"parameters", checkParameters},
                                                {"state", checkState},
                                                {"cpu", checkCpu},
                                                {"audio", checkAudio},
                                                {"realtime", checkRealtime},
                                                {"automation", checkAutomation},
                                                {"midi", checkMidi},
                                                {"consistency", checkConsistency},
                                                {"extremes", checkExtremes},
                                                {"restart", checkRestart},
                                                {"notes", checkNotes},
                                                {"threads", checkThreads},
                                                {"editor", checkEditor},
                                                {"lifecycle", checkLifecycle},
                                                {"fuzz", checkFuzz},
                                                {"hoststate", checkHostState},
                                                {"widths", checkWidths}};
  return checks;
}

const CheckInfo* findCheck(const std::string& name) {
  for (const CheckInfo& check : allChecks()) {
    if (name == check.name) return &check;
  }
  return nullptr;
}

bool processesLongAudio(const std::string& name) {
  return name == "audio" || name == "realtime" || name == "automation" || name == "midi" ||
         name == "threads" || name == "consistency" || name == "extremes" || name == "restart" ||
         name == "notes";
}

// Hosts open every plug-in at every scan: stricter at higher levels, but
// never below what a slow machine needs for a plain DLL.
double openLimitMs(int level) {
  return 1000.0 - 55.0 * (level - 1);
}

double threadSeconds(int level) {
  return level == 1 ? 1.0 : 3.0 * level;
}

int automationBlocks(int level) {
  return 200 * level;
}

int editorCycles(int level) {
  return 3 * level;
}

double cpuSecondsPerCase(int level) {
  return 0.5 * level;
}

int lifecycleCycles(int level) {
  return level == 1 ? 20 : 50 * level;
}

long fuzzCalls(int level) {
  return level >= 10 ? 1000000L : 2000L << (level - 1);
}

int fuzzChildren(int level) {
  return level >= 10 ? 10 : 1;
}

// Generous: the work grows with the level (audio and MIDI with its square),
// and a loaded machine or an emulated Windows runs it several times slower.
int plannedMs(const std::string& check, int level) {
  if (check == "threads") return static_cast<int>(threadSeconds(level) * 1500.0);
  if (check == "audio" || check == "midi") return 4000 * level * level;
  if (check == "automation" || check == "state" || check == "parameters") return 2000 * level;
  // Several instances each, and runs of audio compared with each other.
  if (check == "consistency" || check == "restart") return 4000 + 2000 * level;
  if (check == "extremes") return 3000 * level;
  // Up to 30 s of audio waiting for silence, twice.
  if (check == "notes") return 20000;
  if (check == "editor") return 1500 * editorCycles(level);
  // Six cases of audio, slower than real time failing at once; the rest is
  // opening and loading.
  if (check == "cpu") return static_cast<int>(6000.0 * cpuSecondsPerCase(level));
  if (check == "realtime") return 1000 * level;
  if (check == "lifecycle") return 200 * lifecycleCycles(level);
  if (check == "hoststate") return 1000 * level;
  // Ten runs of the two plughosts, each loading the effect.
  if (check == "widths") return 60000;
  if (check == "fuzz") return static_cast<int>(fuzzCalls(level) / fuzzChildren(level) / 5);
  return 0;
}

}  // namespace plughost
