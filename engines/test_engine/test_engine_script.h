// The scriptable test engine's control block, shared by the engine and tests.
//
// Tests load the engine library themselves (the same module the plug-in loads,
// so the same block) and call its export "testEngineScript" to reach this
// block: they set what the engine will answer, then read back every call it
// received. Plain data only: the test program and the engine DLL each link
// their own runtime, so nothing here may be allocated by one and freed by the
// other.
#pragma once

#include <cstdint>

#include "kel/kel_interfaces.h"

namespace testengine {

constexpr int kMaxParameters = 1024;
constexpr int kMaxCalls = 4096;
constexpr int kMaxChunk = 8192;
constexpr int kTextSize = 256;
constexpr int kNamesSize = 1400;
constexpr int kRecordedEvents = 64;

// One engine parameter as the engine describes and stores it. A has* flag of
// false makes the engine leave that pointer null in the description.
struct ParameterScript {
  bool hasName;
  char name[kTextSize];
  bool hasLabel;
  char label[kTextSize];
  std::int32_t displayType;
  std::int32_t minimum;
  std::int32_t maximum;
  std::int32_t decimals;
  bool hasMinimumText;
  char minimumText[kTextSize];
  bool hasMaximumText;
  char maximumText[kTextSize];
  std::int32_t curve;
  std::uint32_t logBase;
  bool hasValueNames;
  char valueNames[kNamesSize];
  std::uint8_t automatable;
  bool fillNothing;    // getParameterInfo leaves the record untouched
  std::int32_t value;  // current engine value (setParameter stores here)
};

// Which engine operation a call record is about.
enum class Op : std::int32_t {
  KelMain,
  ModuleRelease,
  CreateProcessor,
  CreateView,
  ProcessorRelease,
  Initialize,
  Terminate,
  GetFlags,
  Activate,
  Deactivate,
  GetDefaultOutputCount,
  SetInputCount,
  SetOutputCount,
  SetBlockSize,
  SetSampleRate,
  Process,
  GetParameterCount,
  GetParameterInfo,
  GetParameter,
  SetParameter,
  GetChunkSize,
  SetChunk,
  GetChunk,
  ProcessEvents,
  ProcessorIdle,
  ViewRelease,
  ViewGetSize,
  ViewOpen,
  ViewClose,
  ViewUpdate,
  ViewIdle,
};

// One received call: up to two integer arguments, a float, a pointer.
struct Call {
  Op op;
  std::int32_t a;
  std::int32_t b;
  float f;
  std::uintptr_t p;
};

// Moments at which the engine reports a parameter change to the host with
// kel::IHost::parameterChanged(notifyIndex).
enum NotifyMoment : std::uint32_t {
  kNotifyNever = 0,
  kNotifyDuringBuild = 1u << 0,       // inside getParameterInfo of notifyIndex
  kNotifyDuringDeactivate = 1u << 1,  // inside deactivate
  kNotifyDuringTerminate = 1u << 2,   // inside terminate
  kNotifyOnIdle = 1u << 3,            // inside the processor's idle
  // From a thread of the engine's own, in a loop from the processor's
  // creation until its release, which stops and joins the thread first.
  kNotifyFromOwnThread = 1u << 4,
};

struct Script {
  // --- what the engine answers (set by tests) ---
  std::int32_t version;  // written by kelMain; "version-too-new": one above the served
  bool kelMainReturnsNull;
  bool nullProcessor;
  bool nullView;
  std::int32_t processIndexSeen;  // last createProcessor argument
  std::int32_t flags;             // getFlags
  std::int32_t defaultOutputCount;
  std::int32_t viewWidth;
  std::int32_t viewHeight;
  std::int32_t parameterCount;  // getParameterCount (may exceed the table only if negative)
  ParameterScript parameters[kMaxParameters];
  std::int32_t chunkSize;  // getChunkSize; getChunk writes chunk[0..chunkSize)
  std::uint8_t chunk[kMaxChunk];
  std::uint32_t notifyMoments;
  std::int32_t notifyIndex;
  // When true, process() writes input[c][i] * 0.5 to output[c][i] for the
  // first min(inputs, outputs) channels; otherwise it touches no sample.
  bool processHalves;

  // --- what the engine received (read by tests) ---
  kel::IHost* host;
  std::int32_t callCount;  // may exceed kMaxCalls; only the first kMaxCalls are kept
  Call calls[kMaxCalls];
  std::int32_t inputCount;
  std::int32_t outputCount;
  float** lastOutputs;
  float** lastInputs;
  std::int32_t lastFrames;
  std::int32_t lastZeroWord;  // value of the zero word at the time of the call
  std::int32_t lastEventCount;
  kel::SEvent events[kRecordedEvents];  // first events of the last processEvents
  std::int32_t lastChunkBytes;          // setChunk's byte count
  std::uint8_t lastChunk[kMaxChunk];    // setChunk's bytes (first kMaxChunk)
  std::int32_t liveObjects;             // module + processor + view not yet released
  std::int32_t threadNotices;           // notices sent by the engine's own threads

  // --- misbehaviours, for the validator's fault tests ---
  // Each is also a word of the script text in the environment variable
  // KEL_TEST_ENGINE_SCRIPT (see applyScriptText), which a process that
  // loads the engine without resetting the block gets instead of zeros.
  bool chunkHoldsValues;         // "values-in-chunk": the chunk is the parameter values
  bool nanOutput;                // "nan-output": process writes NaN
  bool growingOutput;            // "growing-output": the output doubles every block
  bool stateNotRestored;         // "state-not-restored": setChunk changes nothing
  bool stateResavedDifferently;  // "state-resaved-differently": every chunk differs
  bool valueOutOfRange;          // "value-out-of-range": values read back 50 % above the maximum
  bool ignoresSetParameter;      // "ignores-set-parameter"
  bool crashInSetParameter;      // "crash-in-set-parameter"
  bool crashOnOneFrame;          // "crash-on-one-frame": process of 1 frame crashes
  bool hangInSetChunk;           // "hang-in-set-chunk": setChunk never returns
  bool leakPerInstance;          // "leak-per-instance": every processor leaks 256 KiB
  bool writePastBlock;           // "write-past-block": process writes one frame too many
  bool throwsInOp;               // throwingOp throws std::runtime_error after being logged
  Op throwingOp;                 // "throw-in-process" sets both for Op::Process
  float growingGain;             // current gain of the growing output
  bool saveCounter;              // "save-counter": each processor's chunk ends in its save count
  bool unwrittenOutput;          // "unwritten-output": process never writes the last output
  bool allocateInProcess;        // "allocate-in-process": process allocates and frees a block
  bool heapAllocateInProcess;    // "heap-allocate-in-process": the same through HeapAlloc
  bool lockInProcess;            // "lock-in-process": process enters a critical section
  bool slowProcess;              // "slow-process": process takes three times the block's length
  bool editorLeaksGdi;           // "editor-leaks-gdi": every view open creates a brush, never freed
  bool crashOffOpeningThread;    // "crash-off-opening-thread": setParameter from a thread other
                                 // than the one that created the processor crashes
  float sampleRate;              // last setSampleRate, for the slow process
  // Ways to end the host process or unwind out of it, in process (or, with
  // "faults-on-activate", in activate, which every host reaches):
  bool stackOverflowInProcess;     // "stack-overflow-in-process": recursion without end
  bool exitProcessInProcess;       // "exit-process-in-process": ExitProcess(0)
  bool terminateProcessInProcess;  // "terminate-process-in-process": TerminateProcess(self, 0)
  bool abortInProcess;             // "abort-in-process": abort()
  bool foreignThrowInProcess;      // "foreign-throw-in-process": a C++ exception of Microsoft's
                                   // runtime (code 0xE06D7363), which no catch of ours takes
  bool faultsOnActivate;           // "faults-on-activate": the faults above, and
                                   // "throw-in-process", come in activate instead
  // The sound words: "one-pole" makes process a 1 kHz one-pole lowpass times
  // 0.25 + parameter 0's value / 100, its memory per processor, cleared by
  // setSampleRate; each fault below implies it and misplaces that memory.
  bool onePole;                  // "one-pole"
  bool sharedStaticState;        // "shared-static-state": one memory for all processors
  bool blockStateLost;           // "block-state-lost": the memory starts from 0 every block
  bool threadLocalState;         // "thread-local-state": one memory per thread
  bool stateNotHeard;            // "state-not-heard": the gain follows setParameter, not setChunk
  bool rateIgnored;              // "rate-ignored": the coefficient of 44.1 kHz at every rate
  bool resumeKeepsState;         // "resume-keeps-state": setSampleRate leaves the memory as it was
  bool nanAtMaximum;             // "nan-at-maximum": NaN output while parameter 0 is at its maximum
  bool chunkLastFieldUnwritten;  // "chunk-last-field-unwritten": the chunk has a 16-byte trailer
                                 // whose last 4 bytes getChunk never writes
  bool playsNotes;               // "plays-notes": takes MIDI; adds 0.1 to every output sample
                                 // while a note is held
  bool notesNeverStop;           // "notes-never-stop": plays notes, ignores note-offs and
                                 // all-notes-off
  // What the host owns, changed (the validator's hoststate and editor checks):
  bool writesInput;           // "writes-input": process halves its first input channel in place
  bool changesFloatingPoint;  // "changes-fp-state": process sets flush-to-zero and
                              // denormals-are-zero (on 32-bit also the x87 precision to 24
                              // bits) and never puts them back
  bool editorTopLevel;        // "editor-top-level": the view opens a top-level window of its
                              // own instead of a child of the host's
  bool editorWrongSize;       // "editor-wrong-size": the view's window is 100 pixels wider
                              // than the size it reports
  bool notifyWhileCreated;    // "notify-while-created": initialize reports parameter 0 changed
  bool stateByWidth;          // "state-by-width": the chunk's values start after
                              // sizeof(void*) - 4 zero bytes
};

// Restores every answer to its default: version 5, one automatable linear
// parameter "Gain" 0..100, flags 0, default output count 2, view 400 x 300,
// empty call log.
void resetScript(Script& script);

// Sets the misbehaviours named by the space- or comma-separated words of
// `text`; "standalone" sets the answers a process without a test needs
// (resetScript, halving process, values-in-chunk). False when a word is
// unknown; the known ones are still applied.
bool applyScriptText(Script& script, const char* text);

// Name of the environment variable read by a process that loads the engine
// library without resetting its block.
constexpr const char* kScriptVariable = "KEL_TEST_ENGINE_SCRIPT";

}  // namespace testengine

// Export of the test engine library.
extern "C" testengine::Script* KEL_CDECL testEngineScript();
using TestEngineScriptProc = testengine::Script*(KEL_CDECL*)();
