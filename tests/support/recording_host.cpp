#include "recording_host.h"

#include <gtest/gtest.h>

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
  static const HostCall none{};
  if (log.empty()) {
    ADD_FAILURE() << "the host was never called";
    return none;
  }
  return log.back();
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
