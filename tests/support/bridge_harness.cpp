// The platform-independent half of the bridge harness: the recording host
// and the .ini bookkeeping.
#include "bridge_harness.h"

namespace {
BridgeTestHost* currentHost = nullptr;

VstIntPtr VSTCALLBACK recordRequest(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                    VstIntPtr value, void* ptr, float opt) {
  if (currentHost == nullptr) return 0;
  currentHost->requests.push_back({effect, opcode, index, value, ptr, opt});
  switch (opcode) {
    case audioMasterVersion:
      return currentHost->versionAnswer;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(currentHost->timeInfo);
    default:
      return 0;
  }
}
}  // namespace

BridgeTestHost::BridgeTestHost() { currentHost = this; }

BridgeTestHost::~BridgeTestHost() {
  if (currentHost == this) currentHost = nullptr;
}

audioMasterCallback BridgeTestHost::callback() const { return recordRequest; }

std::vector<BridgeTestHost::Request> BridgeTestHost::requestsWith(VstInt32 opcode) const {
  std::vector<Request> found;
  for (const Request& request : requests) {
    if (request.opcode == opcode) found.push_back(request);
  }
  return found;
}

void BridgeHarness::setIni(const std::string& section, const std::string& key,
                           const std::string& value) {
  for (auto& entry : ini) {
    if (entry.first == section && entry.second.first == key) {
      entry.second.second = value;
      return;
    }
  }
  ini.push_back({section, {key, value}});
}

VstIntPtr BridgeHarness::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
  return openEffect->dispatcher(openEffect, opcode, index, value, ptr, opt);
}
