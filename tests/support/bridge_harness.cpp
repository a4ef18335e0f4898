// The platform-independent half of the bridge harness: the recording host
// and the .ini bookkeeping.
#include "bridge_harness.h"

BridgeTestHost::BridgeTestHost() {
  answer(audioMasterVersion, 2400);
  handle(audioMasterGetTime,
         [this](const HostCall&) { return reinterpret_cast<VstIntPtr>(timeInfo); });
}

std::vector<HostCall> BridgeTestHost::requestsWith(VstInt32 opcode) const {
  std::vector<HostCall> found;
  for (const HostCall& call : calls()) {
    if (call.opcode == opcode) found.push_back(call);
  }
  return found;
}

void BridgeHarness::setDefaultIni() {
  setIni("KEL", "GUID", productGuid);
  setIni("VST", "Name", "TestEffect");
  setIni("KEL", "ChannelsIn", "2");
  setIni("KEL", "ChannelsOut", "2");
  setIni("KEL", "ID", "1234");
  setIni("KEL", "ProcessIndex", "0");
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

VstIntPtr BridgeHarness::close() {
  const VstIntPtr result = dispatch(effClose);
  openEffect = nullptr;
  return result;
}

VstIntPtr BridgeHarness::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
  return openEffect->dispatcher(openEffect, opcode, index, value, ptr, opt);
}
