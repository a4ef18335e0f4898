// The scriptable test engine: every operation answers from the control block
// and appends itself, with its arguments, to the block's call log. Objects
// are created with new(std::nothrow) and destroy themselves in release().
#include "test_engine/test_engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif
#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

using testengine::Op;
using testengine::Script;

Script scriptBlock;

// Appends one call; the count keeps growing past the log's capacity so a
// test can tell that calls were dropped. The engine's own threads record
// too, so each call takes its slot atomically. Then throws if the script
// says this operation does.
void record(Op op, std::int32_t a = 0, std::int32_t b = 0, float f = 0.0f,
            const void* p = nullptr) {
  Script& s = scriptBlock;
  const std::int32_t slot = __atomic_fetch_add(&s.callCount, 1, __ATOMIC_RELAXED);
  if (slot >= 0 && slot < testengine::kMaxCalls) {
    s.calls[slot] = {op, a, b, f, reinterpret_cast<std::uintptr_t>(p)};
  }
  if (s.throwsInOp && s.throwingOp == op) throw std::runtime_error("scripted failure");
}

// Reports notifyIndex to the host when the script asks for it at `moment`.
void notifyAt(testengine::NotifyMoment moment) {
  Script& s = scriptBlock;
  if ((s.notifyMoments & moment) != 0 && s.host != nullptr) s.host->parameterChanged(s.notifyIndex);
}

testengine::ParameterScript* parameterAt(std::int32_t index) {
  if (index < 0 || index >= testengine::kMaxParameters) return nullptr;
  return &scriptBlock.parameters[index];
}

// --- misbehaviours (see the script's last block) ---

// A store to an address no process maps, hidden from the compiler so that
// it stays a store (an access violation) rather than a trap.
void crash() {
  volatile std::uintptr_t nowhere = 16;
  *reinterpret_cast<volatile std::int32_t*>(nowhere) = 1;
}

// Recursion without end that the compiler can neither drop nor turn into a
// loop: every frame keeps a buffer that the call after it reads.
volatile bool keepRecursing = true;
int recurse(volatile char* before) {
  volatile char frame[512];
  frame[0] = static_cast<char>(before ? before[0] + 1 : 0);
  if (!keepRecursing) return frame[0];
  return recurse(frame) + frame[0];
}

// The ways to end the host process or unwind out of it that a script asks
// for.
void endAsScripted() {
  const Script& s = scriptBlock;
  if (s.stackOverflowInProcess) recurse(nullptr);
  if (s.abortInProcess) std::abort();
#ifdef _WIN32
  if (s.exitProcessInProcess) ExitProcess(0);
  if (s.terminateProcessInProcess) TerminateProcess(GetCurrentProcess(), 0);
  // How code built with Microsoft's compiler throws.
  if (s.foreignThrowInProcess) RaiseException(0xE06D7363, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#endif
}

// The calling thread, for the misbehaviour that depends on it.
std::uintptr_t currentThread() {
#ifdef _WIN32
  return GetCurrentThreadId();
#else
  return std::hash<std::thread::id>{}(std::this_thread::get_id());
#endif
}

// Busy, not asleep: a slow effect burns the host's audio thread.
void spinFor(double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
  }
}

std::int32_t chunkValueBytes() {
  const std::int32_t count =
      std::max(0, std::min(scriptBlock.parameterCount, testengine::kMaxParameters));
  return count * static_cast<std::int32_t>(sizeof(std::int32_t));
}

// --- the sound words ---

constexpr int kFilterChannels = 8;
constexpr std::int32_t kTrailerBytes = 16;

bool filters() {
  const Script& s = scriptBlock;
  return s.onePole || s.sharedStaticState || s.blockStateLost || s.threadLocalState ||
         s.stateNotHeard || s.rateIgnored || s.resumeKeepsState;
}

bool playsNotes() {
  return scriptBlock.playsNotes || scriptBlock.notesNeverStop;
}

// The one memory of "shared-static-state" and the per-thread one of
// "thread-local-state".
float sharedMemory[kFilterChannels];
thread_local float threadMemory[kFilterChannels];

// Parameter 0's value as a gain; values outside its range (restored from a
// broken chunk) count as its nearest end.
float gainOf(std::int32_t value) {
  const testengine::ParameterScript& p = scriptBlock.parameters[0];
  return 0.25f + static_cast<float>(std::max(p.minimum, std::min(p.maximum, value))) / 100.0f;
}

// Bytes before the values in a chunk: with "state-by-width" as many as a
// pointer has beyond 4, so 32- and 64-bit builds read each other's chunks
// wrongly.
std::int32_t widthPad() {
  return scriptBlock.stateByWidth ? static_cast<std::int32_t>(sizeof(void*)) - 4 : 0;
}

// The faulty output a script asks for, after the regular processing.
void misbehaveInProcess(float** outputs, std::int32_t frames) {
  Script& s = scriptBlock;
  if (!s.faultsOnActivate) endAsScripted();
  if (s.crashOnOneFrame && frames == 1) crash();
  if (s.allocateInProcess) {
    void* volatile block = std::malloc(64);
    std::free(block);
  }
#ifdef _WIN32
  if (s.heapAllocateInProcess) HeapFree(GetProcessHeap(), 0, HeapAlloc(GetProcessHeap(), 0, 64));
#endif
  if (s.nanAtMaximum && s.parameterCount > 0 && s.parameters[0].value >= s.parameters[0].maximum) {
    for (std::int32_t c = 0; outputs != nullptr && c < s.outputCount; ++c) {
      if (outputs[c] != nullptr) outputs[c][0] = std::nanf("");
    }
  }
  if (s.slowProcess) spinFor(3.0 * frames / (s.sampleRate > 0.0f ? s.sampleRate : 44100.0f));
  if (outputs == nullptr) return;
  if (s.growingGain == 0.0f) s.growingGain = 1.0f;
  for (std::int32_t c = 0; c < s.outputCount; ++c) {
    if (outputs[c] == nullptr) continue;
    for (std::int32_t i = 0; i < frames; ++i) {
      if (s.nanOutput) outputs[c][i] = std::nanf("");
      if (s.growingOutput) outputs[c][i] += s.growingGain * 1e-3f;
    }
    if (s.writePastBlock) outputs[c][frames] = 0.25f;
  }
  if (s.growingOutput) s.growingGain *= 2.0f;
}

// What the host owns, changed where the script says so: the first input
// channel (an input buffer is the host's) and the calling thread's
// floating-point control state.
void changeHostState(float** inputs, std::int32_t frames) {
  const Script& s = scriptBlock;
  if (s.writesInput && inputs != nullptr && s.inputCount > 0 && inputs[0] != nullptr) {
    for (std::int32_t i = 0; i < frames; ++i) inputs[0][i] *= 0.5f;
  }
#if defined(__i386__) || defined(__x86_64__)
  if (s.changesFloatingPoint) {
    _mm_setcsr(_mm_getcsr() | 0x8040u);  // flush-to-zero, denormals-are-zero
#if defined(__i386__)
    std::uint16_t word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    word = static_cast<std::uint16_t>(word & ~0x0300u);  // 24-bit precision
    __asm__ volatile("fldcw %0" : : "m"(word));
#endif
  }
#endif
}

class TestProcessor final : public kel::IProcessor {
 public:
  // [main] Starts the engine's own notice thread when scripted.
  TestProcessor() {
    // Never freed: the leak the lifecycle check must find.
    if (scriptBlock.leakPerInstance) {
      char* leak = new (std::nothrow) char[256 * 1024];
      if (leak != nullptr) std::memset(leak, 1, 256 * 1024);
    }
#ifdef _WIN32
    InitializeCriticalSection(&lock);
#endif
    if ((scriptBlock.notifyMoments & testengine::kNotifyFromOwnThread) == 0) return;
    notifier = std::thread([this] {
      while (!stopping.load(std::memory_order_acquire)) {
        kel::IHost* host = scriptBlock.host;
        if (host != nullptr) host->parameterChanged(scriptBlock.notifyIndex);
        __atomic_add_fetch(&scriptBlock.threadNotices, 1, __ATOMIC_RELAXED);
      }
    });
  }

  // [any thread] Stops the notice thread, then destroys the processor, which
  // must not be used afterwards.
  void release() override {
    stopping.store(true, std::memory_order_release);
    if (notifier.joinable()) notifier.join();
    record(Op::ProcessorRelease);
    --scriptBlock.liveObjects;
#ifdef _WIN32
    DeleteCriticalSection(&lock);
#endif
    delete this;
  }

  // [main] May report a change to the host while the host is creating the
  // effect.
  void initialize() override {
    record(Op::Initialize);
    if (scriptBlock.notifyWhileCreated && scriptBlock.host != nullptr) {
      scriptBlock.host->parameterChanged(0);
    }
  }

  // [main] May report a change to the host while terminating.
  void terminate() override {
    record(Op::Terminate);
    notifyAt(testengine::kNotifyDuringTerminate);
  }

  // [main] Answers the scripted flags.
  std::int32_t getFlags() override {
    record(Op::GetFlags);
    return scriptBlock.flags | (playsNotes() ? kel::kProcessorTakesMidi : 0);
  }

  // [main] Logged, or where the scripted process faults come instead.
  void activate() override {
    record(Op::Activate);
    const Script& s = scriptBlock;
    if (!s.faultsOnActivate) return;
    endAsScripted();
    if (s.throwsInOp && s.throwingOp == Op::Process) throw std::runtime_error("scripted failure");
  }

  // [main] May report a change to the host while deactivating.
  void deactivate() override {
    record(Op::Deactivate);
    notifyAt(testengine::kNotifyDuringDeactivate);
  }

  // [main] Answers the scripted count.
  std::int32_t getDefaultOutputCount() override {
    record(Op::GetDefaultOutputCount);
    return scriptBlock.defaultOutputCount;
  }

  // [main] The count bounds the channels that process() touches.
  void setInputCount(std::int32_t channels) override {
    record(Op::SetInputCount, channels);
    scriptBlock.inputCount = channels;
  }

  // [main] As setInputCount.
  void setOutputCount(std::int32_t channels) override {
    record(Op::SetOutputCount, channels);
    scriptBlock.outputCount = channels;
  }

  // [main] Logged only.
  void setBlockSize(std::int32_t frames) override {
    record(Op::SetBlockSize, frames);
  }

  // [main] Logged only.
  void setSampleRate(float hz) override {
    record(Op::SetSampleRate, 0, 0, hz);
    scriptBlock.sampleRate = hz;
    clearMemory();
  }

  // [audio] Allocation-free. The caller owns every buffer; null
  // arrays or channels are skipped, a missing zero word is recorded as -1.
  void process(float** outputs, float** inputs, std::int32_t frames,
               std::int32_t* zeroWord) override {
    Script& s = scriptBlock;
    record(Op::Process, frames, 0, 0.0f, outputs);
    s.lastOutputs = outputs;
    s.lastInputs = inputs;
    s.lastFrames = frames;
    s.lastZeroWord = zeroWord != nullptr ? *zeroWord : -1;
#ifdef _WIN32
    if (s.lockInProcess) {
      EnterCriticalSection(&lock);
      LeaveCriticalSection(&lock);
    }
#endif
    if (s.processHalves && outputs != nullptr && inputs != nullptr) {
      const std::int32_t channels =
          std::min(s.inputCount, s.outputCount - (s.unwrittenOutput ? 1 : 0));
      for (std::int32_t c = 0; c < channels; ++c) {
        if (outputs[c] == nullptr || inputs[c] == nullptr) continue;
        for (std::int32_t i = 0; i < frames; ++i) outputs[c][i] = inputs[c][i] * 0.5f;
      }
    }
    if (filters() && outputs != nullptr && inputs != nullptr) filter(outputs, inputs, frames);
    if (playsNotes() && outputs != nullptr) playNotes(outputs, frames);
    misbehaveInProcess(outputs, frames);
    changeHostState(inputs, frames);
  }

  // [any thread] Answers the scripted count, which may be negative.
  std::int32_t getParameterCount() override {
    record(Op::GetParameterCount);
    return scriptBlock.parameterCount;
  }

  // [any thread] Points the caller's record at the script's texts (valid
  // until the script changes). Unknown indexes leave the record untouched.
  void getParameterInfo(std::int32_t index, kel::SParameterInfo* info) override {
    record(Op::GetParameterInfo, index, 0, 0.0f, info);
    const testengine::ParameterScript* p = parameterAt(index);
    if (p != nullptr && info != nullptr && !p->fillNothing) {
      info->name = p->hasName ? p->name : nullptr;
      info->label = p->hasLabel ? p->label : nullptr;
      info->displayType = p->displayType;
      info->minimum = p->minimum;
      info->maximum = p->maximum;
      info->decimals = p->decimals;
      info->minimumText = p->hasMinimumText ? p->minimumText : nullptr;
      info->maximumText = p->hasMaximumText ? p->maximumText : nullptr;
      info->curve = p->curve;
      info->logBase = p->logBase;
      info->valueNames = p->hasValueNames ? p->valueNames : nullptr;
      info->automatable = p->automatable;
    }
    if (index == scriptBlock.notifyIndex) notifyAt(testengine::kNotifyDuringBuild);
  }

  // [any thread] 0 for an unknown index.
  std::int32_t getParameter(std::int32_t index) override {
    record(Op::GetParameter, index);
    const testengine::ParameterScript* p = parameterAt(index);
    if (p != nullptr && scriptBlock.valueOutOfRange)
      return p->maximum + (p->maximum - p->minimum) / 2;
    return p != nullptr ? p->value : 0;
  }

  // [any thread] An unknown index is logged and otherwise ignored.
  void setParameter(std::int32_t index, std::int32_t value) override {
    record(Op::SetParameter, index, value);
    if (scriptBlock.crashInSetParameter) crash();
    if (scriptBlock.crashOffOpeningThread && currentThread() != openingThread) crash();
    testengine::ParameterScript* p = parameterAt(index);
    if (p != nullptr && !scriptBlock.ignoresSetParameter) p->value = value;
    if (index == 0 && p != nullptr) gainValue_ = p->value;
  }

  // [main] Answers the scripted size.
  std::int32_t getChunkSize() override {
    record(Op::GetChunkSize);
    if (scriptBlock.chunkHoldsValues) {
      return widthPad() + chunkValueBytes() + (scriptBlock.stateResavedDifferently ? 4 : 0) +
             (scriptBlock.saveCounter ? 4 : 0) +
             (scriptBlock.chunkLastFieldUnwritten ? kTrailerBytes : 0);
    }
    return scriptBlock.chunkSize;
  }

  // [main] Keeps a copy of at most kMaxChunk bytes. The caller
  // keeps ownership of `bytes`.
  void setChunk(void* bytes, std::int32_t byteCount) override {
    Script& s = scriptBlock;
    record(Op::SetChunk, byteCount, 0, 0.0f, bytes);
    s.lastChunkBytes = byteCount;
    const std::int32_t kept = std::max(0, std::min(byteCount, testengine::kMaxChunk));
    if (bytes != nullptr && kept > 0) std::memcpy(s.lastChunk, bytes, kept);
    while (s.hangInSetChunk) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (s.chunkHoldsValues && !s.stateNotRestored && bytes != nullptr &&
        byteCount >= widthPad() + chunkValueBytes()) {
      for (std::int32_t i = 0; i < chunkValueBytes() / 4; ++i) {
        std::memcpy(&s.parameters[i].value, static_cast<const char*>(bytes) + widthPad() + 4 * i,
                    4);
      }
      if (!s.stateNotHeard && chunkValueBytes() > 0) gainValue_ = s.parameters[0].value;
    }
  }

  // [main] Fills the caller's buffer of getChunkSize() bytes.
  void getChunk(void* buffer) override {
    Script& s = scriptBlock;
    record(Op::GetChunk, 0, 0, 0.0f, buffer);
    if (s.chunkHoldsValues) {
      if (buffer == nullptr) return;
      std::memset(buffer, 0, static_cast<std::size_t>(widthPad()));
      auto* bytes = static_cast<char*>(buffer) + widthPad();
      for (std::int32_t i = 0; i < chunkValueBytes() / 4; ++i) {
        std::memcpy(bytes + 4 * i, &s.parameters[i].value, 4);
      }
      ++saves;
      // The clock, not a counter in the block: the block starts over when
      // the library is unloaded and loaded again between two saves. Its
      // lowest byte is this instance's save count instead, so two saves in a
      // row always differ in their first stamp byte, not just most times.
      const auto now =
          static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
      const std::uint32_t stamp = (now & ~0xFFu) | (static_cast<std::uint32_t>(saves) & 0xFFu);
      if (s.stateResavedDifferently) std::memcpy(bytes + chunkValueBytes(), &stamp, 4);
      if (s.saveCounter) {
        std::memcpy(bytes + chunkValueBytes() + (s.stateResavedDifferently ? 4 : 0), &saves, 4);
      }
      // The trailer's fields but its last.
      if (s.chunkLastFieldUnwritten) {
        std::memset(bytes + chunkValueBytes(), 0x11, kTrailerBytes - 4);
      }
      return;
    }
    const std::int32_t size = std::max(0, std::min(s.chunkSize, testengine::kMaxChunk));
    if (buffer != nullptr && size > 0) std::memcpy(buffer, s.chunk, size);
  }

  // [audio] Allocation-free. Keeps the first kRecordedEvents events;
  // the caller keeps ownership of the array.
  void processEvents(kel::SEvent* events, std::int32_t count) override {
    Script& s = scriptBlock;
    record(Op::ProcessEvents, count, 0, 0.0f, events);
    s.lastEventCount = count;
    const std::int32_t kept = std::max(0, std::min(count, testengine::kRecordedEvents));
    if (events != nullptr && kept > 0) std::copy(events, events + kept, s.events);
    for (std::int32_t i = 0; playsNotes() && events != nullptr && i < count; ++i) {
      if (pendingCount_ < testengine::kRecordedEvents) pending_[pendingCount_++] = events[i];
    }
  }

  // [any thread] May report a change to the host.
  void idle() override {
    record(Op::ProcessorIdle);
    notifyAt(testengine::kNotifyOnIdle);
  }

 private:
  // [main] The filter's memory, wherever the script keeps it, starts from
  // silence at every new rate: hosts send one before each resume, which
  // the bridge keeps from the engine.
  void clearMemory() {
    if (scriptBlock.resumeKeepsState) return;
    std::fill(std::begin(memory_), std::end(memory_), 0.0f);
    std::fill(std::begin(sharedMemory), std::end(sharedMemory), 0.0f);
    std::fill(std::begin(threadMemory), std::end(threadMemory), 0.0f);
  }

  // [audio] The one-pole lowpass of the sound words.
  void filter(float** outputs, float** inputs, std::int32_t frames) {
    const Script& s = scriptBlock;
    const float rate = s.rateIgnored || s.sampleRate <= 0.0f ? 44100.0f : s.sampleRate;
    const float coefficient = 1.0f - std::exp(-2.0f * 3.14159265f * 1000.0f / rate);
    const float gain = gainOf(gainValue_);
    float blockMemory[kFilterChannels] = {};
    float* memory = s.sharedStaticState  ? sharedMemory
                    : s.threadLocalState ? threadMemory
                    : s.blockStateLost   ? blockMemory
                                         : memory_;
    const std::int32_t channels = std::min({s.inputCount, s.outputCount, kFilterChannels});
    for (std::int32_t c = 0; c < channels; ++c) {
      if (outputs[c] == nullptr || inputs[c] == nullptr) continue;
      float y = memory[c];
      for (std::int32_t i = 0; i < frames; ++i) {
        y += coefficient * (inputs[c][i] - y);
        // A decaying tail would go subnormal after signal then silence.
        if (std::fabs(y) < 1e-20f) y = 0.0f;
        outputs[c][i] = y * gain;
      }
      memory[c] = y;
    }
  }

  // [audio] 0.1 added to every output while a note is held, each event
  // taking effect at its frame.
  void playNotes(float** outputs, std::int32_t frames) {
    std::int32_t next = 0;
    for (std::int32_t i = 0; i < frames; ++i) {
      while (next < pendingCount_ && pending_[next].deltaFrames <= i) hear(pending_[next++]);
      for (std::int32_t c = 0; heldNotes_ > 0 && c < scriptBlock.outputCount; ++c) {
        if (outputs[c] != nullptr) outputs[c][i] += 0.1f;
      }
    }
    while (next < pendingCount_) hear(pending_[next++]);
    pendingCount_ = 0;
  }

  // [audio] Note-ons hold, note-offs and all-notes-off release, unless the
  // notes never stop.
  void hear(const kel::SEvent& event) {
    const int status = event.midiData[0] & 0xF0;
    const int note = event.midiData[1] & 0x7F;
    const bool on = status == 0x90 && event.midiData[2] > 0;
    if (on && !held_[note]) {
      held_[note] = true;
      ++heldNotes_;
    }
    if (scriptBlock.notesNeverStop) return;
    const bool off = status == 0x80 || (status == 0x90 && event.midiData[2] == 0);
    if (off && held_[note]) {
      held_[note] = false;
      --heldNotes_;
    }
    if (status == 0xB0 && (note == 123 || note == 120)) {
      std::fill(std::begin(held_), std::end(held_), false);
      heldNotes_ = 0;
    }
  }

  float memory_[kFilterChannels] = {};
  // Parameter 0 as this processor last heard it (the values themselves are
  // the script's, shared by every processor).
  std::int32_t gainValue_ = 0;
  bool held_[128] = {};
  kel::SEvent pending_[testengine::kRecordedEvents] = {};
  std::int32_t pendingCount_ = 0;
  std::int32_t heldNotes_ = 0;
  std::atomic<bool> stopping{false};
  std::thread notifier;
  const std::uintptr_t openingThread = currentThread();
  std::uint32_t saves = 0;  // getChunk calls of this processor
#ifdef _WIN32
  CRITICAL_SECTION lock;  // entered in process when scripted so
#endif
};

class TestView final : public kel::IView {
 public:
  // [main] Destroys the view.
  void release() override {
    record(Op::ViewRelease);
    --scriptBlock.liveObjects;
    delete this;
  }

  // [main] Writes the scripted size through whichever pointer is given.
  void getSize(std::int32_t* width, std::int32_t* height) override {
    record(Op::ViewGetSize);
    if (width != nullptr) *width = scriptBlock.viewWidth;
    if (height != nullptr) *height = scriptBlock.viewHeight;
  }

  // [main] The window stays the caller's.
  // A window of the reported size inside a real parent window (a child
  // of it, as hosts expect), destroyed on close.
  void open(void* parentWindow, std::int32_t x, std::int32_t y) override {
    record(Op::ViewOpen, x, y, 0.0f, parentWindow);
#ifdef _WIN32
    // Never deleted: the leak the editor check must find.
    if (scriptBlock.editorLeaksGdi) CreateSolidBrush(RGB(1, 2, 3));
    HWND parent = static_cast<HWND>(parentWindow);
    if (window == nullptr && parent != nullptr && IsWindow(parent)) {
      const Script& s = scriptBlock;
      const bool own = s.editorTopLevel;
      window =
          CreateWindowExA(0, "STATIC", "test engine view", (own ? WS_POPUP : WS_CHILD) | WS_VISIBLE,
                          x, y, s.viewWidth + (s.editorWrongSize ? 100 : 0), s.viewHeight,
                          own ? nullptr : parent, nullptr, nullptr, nullptr);
    }
#endif
  }

  // [main] Destroys the view's window.
  void close() override {
    record(Op::ViewClose);
#ifdef _WIN32
    if (window != nullptr) DestroyWindow(window);
    window = nullptr;
#endif
  }
  // [main] Logged only.
  void update() override {
    record(Op::ViewUpdate);
  }
  // [main] Logged only.
  void idle() override {
    record(Op::ViewIdle);
  }

 private:
#ifdef _WIN32
  HWND window = nullptr;  // the open view's own window
#endif
};

class TestModule final : public kel::IModule {
 public:
  // [any thread] Destroys the module. Processors and views live on.
  void release() override {
    record(Op::ModuleRelease);
    --scriptBlock.liveObjects;
    delete this;
  }

  // [main] A new processor owned by the caller, or null when
  // scripted so or out of memory.
  kel::IProcessor* createProcessor(std::int32_t processIndex) override {
    record(Op::CreateProcessor, processIndex);
    scriptBlock.processIndexSeen = processIndex;
    if (scriptBlock.nullProcessor) return nullptr;
    TestProcessor* processor = new (std::nothrow) TestProcessor;
    if (processor != nullptr) ++scriptBlock.liveObjects;
    return processor;
  }

  // [main] A new view owned by the caller, or null as above.
  kel::IView* createView(kel::IProcessor* processor) override {
    record(Op::CreateView, 0, 0, 0.0f, processor);
    if (scriptBlock.nullView) return nullptr;
    TestView* view = new (std::nothrow) TestView;
    if (view != nullptr) ++scriptBlock.liveObjects;
    return view;
  }
};

}  // namespace

kel::IModule* testEngineMain(kel::IHost* host, std::int32_t* version) {
  // A process that never set up the block (a plain host) gets the script of
  // the environment, if any.
  const char* text = std::getenv(testengine::kScriptVariable);
  if (scriptBlock.version == 0 && scriptBlock.callCount == 0 && text != nullptr) {
    testengine::applyScriptText(scriptBlock, (std::string("standalone ") + text).c_str());
  }
  record(Op::KelMain, 0, 0, 0.0f, host);
  scriptBlock.host = host;
  if (version != nullptr) *version = scriptBlock.version;
  if (scriptBlock.kelMainReturnsNull) return nullptr;
  TestModule* module = new (std::nothrow) TestModule;
  if (module != nullptr) ++scriptBlock.liveObjects;
  return module;
}

testengine::Script& testEngineScriptRef() {
  return scriptBlock;
}
