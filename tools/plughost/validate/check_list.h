// The validator's checks, in the order they run, and how the level scales
// each one. The numbers live here because both sides need them: the child
// runs the work, the validator gives it time to finish.
#pragma once

#include <string>
#include <vector>

#include "validate/check_context.h"

namespace plughost {

using CheckFunction = void (*)(CheckContext& context);

struct CheckInfo {
  const char* name;
  CheckFunction run;
};

// open, texts, parameters, state, cpu, audio, realtime, automation, midi,
// consistency, extremes, restart, notes, threads, editor, lifecycle, fuzz, hoststate,
// widths.
const std::vector<CheckInfo>& allChecks();
// Null for an unknown name.
const CheckInfo* findCheck(const std::string& name);
// The checks that process long stretches of audio: not run after the cpu
// check found the effect slower than real time, since they would only run
// into their time limits.
bool processesLongAudio(const std::string& name);

// Level scaling (level 1 to 10).
double openLimitMs(int level);
double threadSeconds(int level);
int automationBlocks(int level);
int editorCycles(int level);
double cpuSecondsPerCase(int level);  // audio per rate and block size
int lifecycleCycles(int level);
long fuzzCalls(int level);    // in all children together
int fuzzChildren(int level);  // child processes the fuzz calls are split over
// Parameters the per-parameter checks visit at most: keeps them short.
constexpr int kMaxCheckedParameters = 2000;
// Time a check needs beyond the hang limit, so the limit means "stuck".
int plannedMs(const std::string& check, int level);

void checkOpen(CheckContext& context);
void checkTexts(CheckContext& context);
void checkParameters(CheckContext& context);
void checkState(CheckContext& context);
void checkAudio(CheckContext& context);
void checkCpu(CheckContext& context);
void checkRealtime(CheckContext& context);
void checkAutomation(CheckContext& context);
void checkMidi(CheckContext& context);
void checkConsistency(CheckContext& context);
void checkExtremes(CheckContext& context);
void checkRestart(CheckContext& context);
void checkNotes(CheckContext& context);
void checkThreads(CheckContext& context);
void checkEditor(CheckContext& context);
void checkLifecycle(CheckContext& context);
void checkFuzz(CheckContext& context);
void checkHostState(CheckContext& context);
void checkWidths(CheckContext& context);

}  // namespace plughost
