#include "installation/engine_registration.h"

#include "platform/platform.h"

namespace installation {

std::string engineKeyName(const std::string& guid) {
  return std::string(kSoftwareKey) + "\\" + kVendorKey + "\\" + guid;
}

EngineLookup findEnginePath(const char* guid, char* path, std::size_t size) {
  if (path != nullptr && size > 0) path[0] = '\0';
  // The keys close innermost first as the owners go out of scope.
  platform::RegistryKey software;
  platform::RegistryKey vendor;
  platform::RegistryKey product;
  if (!software.open(nullptr, kSoftwareKey) || !vendor.open(&software, kVendorKey) ||
      !product.open(&vendor, guid)) {
    return EngineLookup::noKey;
  }
  return product.queryString(kEnginePathValue, path, size) ? EngineLookup::found
                                                           : EngineLookup::noValue;
}

long registerEnginePath(const std::string& guid, const std::string& enginePath) {
  platform::RegistryKey key;
  return key.createWithString(engineKeyName(guid).c_str(), kEnginePathValue, enginePath.c_str());
}

long unregisterEngine(const std::string& guid) {
  return platform::deleteRegistryKey(engineKeyName(guid).c_str());
}

}  // namespace installation
