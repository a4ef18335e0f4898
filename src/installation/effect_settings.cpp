#include "installation/effect_settings.h"

#include <cstring>

#include "platform/platform.h"

namespace installation {

namespace {
constexpr char kExtension[] = ".ini";
}

bool settingsPathFor(const char* libraryPath, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (libraryPath == nullptr) return false;
  const char* dot = std::strrchr(libraryPath, '.');
  const std::size_t stem =
      dot != nullptr ? static_cast<std::size_t>(dot - libraryPath) : std::strlen(libraryPath);
  if (stem + sizeof(kExtension) > size) return false;
  std::memcpy(out, libraryPath, stem);
  std::memcpy(out + stem, kExtension, sizeof(kExtension));
  return true;
}

std::string settingsPathFor(const std::string& libraryPath) {
  const auto dot = libraryPath.rfind('.');
  return (dot == std::string::npos ? libraryPath : libraryPath.substr(0, dot)) + kExtension;
}

EffectSettings readEffectSettings(const char* settingsPath) {
  EffectSettings settings;
  platform::readProfileString(settingsPath, kKelSection, kGuidKey, "", settings.guid,
                              sizeof settings.guid);
  platform::readProfileString(settingsPath, kVstSection, kNameKey, "", settings.name,
                              sizeof settings.name);
  settings.channelsIn = platform::readProfileInt(settingsPath, kKelSection, kChannelsInKey, 0);
  settings.channelsOut = platform::readProfileInt(settingsPath, kKelSection, kChannelsOutKey, 0);
  settings.uniqueId = platform::readProfileInt(settingsPath, kKelSection, kIdKey, 0);
  settings.processIndex = platform::readProfileInt(settingsPath, kKelSection, kProcessIndexKey, 0);
  // Read after the keys every installation has, so those are read as always.
  platform::readProfileString(settingsPath, kVstSection, kVendorNameKey, "", settings.vendor,
                              sizeof settings.vendor);
  settings.vendorVersion =
      platform::readProfileInt(settingsPath, kVstSection, kVendorVersionKey, 0);
  if (settings.channelsIn < 0) settings.channelsIn = 0;
  if (settings.channelsOut < 0) settings.channelsOut = 0;
  return settings;
}

bool hasEffectSettings(const char* settingsPath) {
  return platform::profileHasSection(settingsPath, kKelSection);
}

std::string settingsText(const EffectSettings& settings) {
  const auto line = [](const char* key, const std::string& value) {
    return std::string(key) + "=" + value + "\r\n";
  };
  std::string text = std::string("[") + kKelSection + "]\r\n";
  text += line(kGuidKey, settings.guid);
  text += line(kChannelsInKey, std::to_string(settings.channelsIn));
  text += line(kChannelsOutKey, std::to_string(settings.channelsOut));
  text += line(kIdKey, std::to_string(settings.uniqueId));
  text += line(kProcessIndexKey, std::to_string(settings.processIndex));
  text += std::string("\r\n[") + kVstSection + "]\r\n";
  text += line(kNameKey, settings.name);
  if (settings.vendor[0] != '\0') text += line(kVendorNameKey, settings.vendor);
  if (settings.vendorVersion != 0) {
    text += line(kVendorVersionKey, std::to_string(settings.vendorVersion));
  }
  return text;
}

}  // namespace installation
