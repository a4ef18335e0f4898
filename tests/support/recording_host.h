// A host callback for tests: answers each opcode from a table (0 when not
// set, or through a handler) and logs every call with all six arguments.
// The callback is a plain function pointer, so it reaches the newest
// RecordingHost still alive; with none alive it answers 0. The callback is
// [any thread]: engine threads may call it (one at a time); everything else
// is [main], the test's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "vst/vst_types.h"

struct HostCall {
  AEffect* effect;
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  void* ptr;
  float opt;
};

class RecordingHost {
 public:
  using Handler = std::function<VstIntPtr(const HostCall&)>;

  RecordingHost();
  ~RecordingHost();
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  audioMasterCallback master() const { return &RecordingHost::callback; }

  // Fixed answer to one opcode.
  void answer(VstInt32 opcode, VstIntPtr result) { answers[opcode] = result; }
  // Computes the answer to one opcode (e.g. to fill the text behind ptr);
  // takes precedence over answer().
  void handle(VstInt32 opcode, Handler handler) { handlers[opcode] = std::move(handler); }

  const std::vector<HostCall>& calls() const { return log; }
  std::size_t count(VstInt32 opcode) const;
  // The latest call; one with opcode kNoCall when there was none.
  const HostCall& last() const;
  static constexpr VstInt32 kNoCall = -1;
  void clear() { log.clear(); }

 private:
  static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                        VstIntPtr value, void* ptr, float opt);

  static RecordingHost* active;
  RecordingHost* previous;
  std::map<VstInt32, VstIntPtr> answers;
  std::map<VstInt32, Handler> handlers;
  std::vector<HostCall> log;
  std::recursive_mutex callbackLock;  // a handler may call the host again
};
