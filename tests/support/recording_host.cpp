#include "recording_host.h"

#include <algorithm>

RecordingHost* RecordingHost::active = nullptr;

RecordingHost::RecordingHost() : previous(active) {
  active = this;
}

RecordingHost::~RecordingHost() {
  active = previous;
}

std::size_t RecordingHost::count(VstInt32 opcode) const {
  return static_cast<std::size_t>(std::count_if(
      log.begin(), log.end(), [opcode](const HostCall& call) { return call.opcode == opcode; }));
}

const HostCall& RecordingHost::last() const {
  // A call no host ever receives, so that checks of the last call fail.
  static const HostCall none{nullptr, kNoCall, 0, 0, nullptr, 0.0f};
  return log.empty() ? none : log.back();
}

VstIntPtr VSTCALLBACK RecordingHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
  RecordingHost* host = active;
  if (host == nullptr) return 0;
  const HostCall call{effect, opcode, index, value, ptr, opt};
  std::lock_guard<std::recursive_mutex> lock(host->callbackLock);
  host->log.push_back(call);
  auto handler = host->handlers.find(opcode);
  if (handler != host->handlers.end()) return handler->second(call);
  auto fixed = host->answers.find(opcode);
  return fixed != host->answers.end() ? fixed->second : 0;
}
