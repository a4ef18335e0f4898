// The contract with the engine library: its one export kelMain, the engine
// objects the bridge calls and kel::IHost, which the bridge implements.
//
// Slot numbers are positions in each interface's table of virtual operations
// and are fixed by the engine's binary. Every engine object derives virtually
// from IObject, whose release() is slot 0; an interface's own operations start
// at slot 1, and reservedN() placeholders keep every listed operation at its
// number. Member calls use the target's member calling convention: on 32-bit
// x86 the callee removes the arguments (thiscall), so argument types must stay
// exactly as declared; x86-64 has one calling convention for every call.
// The declarations carry no convention of their own and serve both widths.
//
// Each operation's tag says where it is called from: [main] the host's
// non-audio threads, [audio] the host's audio thread, [any thread] either of
// those or one of the engine's own threads. Pointers passed in stay the
// caller's; objects answered by create* belong to the caller, who calls
// release() on them exactly once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kel/parameter_info.h"

#if defined(_WIN32)
#define KEL_CDECL __cdecl
#else
#define KEL_CDECL
#endif

namespace kel {

// One MIDI event as the engine receives it (8 bytes, contiguous array).
struct SEvent {
  std::int32_t deltaFrames;
  std::uint8_t midiData[4];
};
static_assert(sizeof(SEvent) == 8, "SEvent size");
static_assert(offsetof(SEvent, deltaFrames) == 0, "SEvent::deltaFrames");
static_assert(offsetof(SEvent, midiData) == 4, "SEvent::midiData");

constexpr std::int32_t kMaxEventsPerCall = 32768;
constexpr std::int32_t kProcessorTakesMidi = 2;  // bit of IProcessor::getFlags()
// The newest engine interface the bridge serves; kelMain writes its own.
constexpr std::uint32_t kHighestEngineVersion = 5;
// What the bridge answers to IHost::getVersion and IHost::getHostFlag.
constexpr std::int32_t kHostVersion = 5;
constexpr std::int32_t kHostFlag = 1;

// Common virtual base of every engine object. The bridge never deletes an
// engine object: it calls release() exactly once.
class IObject {
 public:
  virtual void release() = 0;  // slot 0 [main]; the object is gone after it

 protected:
  ~IObject() = default;
};

class IProcessor;
class IView;

class IModule : public virtual IObject {
 public:
  // [main]: a new object owned by the caller, or null on failure.
  virtual IProcessor* createProcessor(std::int32_t processIndex) = 0;  // 1
  virtual IView* createView(IProcessor* processor) = 0;                // 2

 protected:
  ~IModule() = default;
};

// [main] Unless tagged otherwise. Buffers, arrays and records passed in
// stay the caller's and are valid during the call only.
class IProcessor : public virtual IObject {
 public:
  virtual void initialize() = 0;                           // 1
  virtual void terminate() = 0;                            // 2
  virtual std::int32_t getFlags() = 0;                     // 3
  virtual void activate() = 0;                             // 4
  virtual void deactivate() = 0;                           // 5
  virtual std::int32_t getDefaultOutputCount() = 0;        // 6
  virtual void setInputCount(std::int32_t channels) = 0;   // 7
  virtual void setOutputCount(std::int32_t channels) = 0;  // 8
  virtual void setBlockSize(std::int32_t frames) = 0;      // 9
  virtual void setSampleRate(float hz) = 0;                // 10
  virtual void reserved11() {}                             // 11
  virtual void process(float** outputs, float** inputs, std::int32_t frames,
                       std::int32_t* zeroWord) = 0;                             // 12 [audio]
  virtual std::int32_t getParameterCount() = 0;                                 // 13 [any thread]
  virtual void getParameterInfo(std::int32_t index, SParameterInfo* info) = 0;  // 14 [any thread]
  virtual std::int32_t getParameter(std::int32_t index) = 0;                    // 15 [any thread]
  virtual void setParameter(std::int32_t index, std::int32_t value) = 0;        // 16 [any thread]
  virtual std::int32_t getChunkSize() = 0;                                      // 17
  virtual void setChunk(void* bytes, std::int32_t byteCount) = 0;               // 18, copies
  virtual void getChunk(void* buffer) = 0;  // 19, fills getChunkSize() bytes
  virtual void processEvents(SEvent* events, std::int32_t count) = 0;  // 20 [audio]
  virtual void idle() = 0;                                             // 21

 protected:
  ~IProcessor() = default;
};

// [main], on the thread that sends the host's editor opcodes. The parent
// window stays the host's.
class IView : public virtual IObject {
 public:
  virtual void reserved1() {}                                                 // 1
  virtual void getSize(std::int32_t* width, std::int32_t* height) = 0;        // 2
  virtual void reserved3() {}                                                 // 3
  virtual void open(void* parentWindow, std::int32_t x, std::int32_t y) = 0;  // 4
  virtual void reserved5() {}                                                 // 5
  virtual void close() = 0;                                                   // 6
  virtual void reserved7() {}                                                 // 7
  virtual void reserved8() {}                                                 // 8
  virtual void update() = 0;                                                  // 9
  virtual void idle() = 0;                                                    // 10

 protected:
  ~IView() = default;
};

// Implemented by the bridge; [any thread]: the engine may call it from any of
// its threads as soon as kelMain has returned.
class IHost {
 public:
  virtual std::int32_t getVersion() = 0;                        // 0
  virtual void parameterChanged(std::int32_t engineIndex) = 0;  // 1
  virtual double getTempo() = 0;                                // 2
  virtual std::int32_t getHostFlag() = 0;                       // 3

 protected:
  ~IHost() = default;
};

// [main] The engine library's export "kelMain": writes its interface version
// and answers its module object, owned by the caller, or null on failure.
using KelMainProc = IModule*(KEL_CDECL*)(IHost* host, std::int32_t* version);

}  // namespace kel
