#include "validate/scratch_effect.h"

#include <windows.h>

#include <cstdio>
#include <random>
#include <vector>

#include "formats/byte_file.h"
#include "formats/pe_width.h"
#include "install/bridge_identity.h"
#include "install/file_checks.h"
#include "install/install_paths.h"
#include "installation/effect_settings.h"
#include "installation/engine_registration.h"
#include "platform/path_size.h"
#include "platform/platform.h"
#include "support/command_error.h"

namespace plughost {
namespace {

// The effect every scratch installation holds: its name is also its files'.
constexpr char kEffectName[] = "ValidatedEngine";
constexpr std::int32_t kEffectId = 0x4B56616C;  // 'KVal'

// A random GUID in braces (version 4 layout).
std::string randomGuid() {
  std::random_device random;
  std::uint32_t words[4];
  for (std::uint32_t& word : words) word = random();
  words[1] = (words[1] & 0xFFFF0FFFu) | 0x00004000u;
  words[2] = (words[2] & 0x3FFFFFFFu) | 0x80000000u;
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%04X%08X}", words[0], words[1] >> 16,
                words[1] & 0xFFFFu, words[2] >> 16, words[2] & 0xFFFFu, words[3]);
  return text;
}

std::string ownFolder() {
  char path[platform::kMaxPathSize] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, platform::kMaxPathSize);
  if (length == 0 || length >= platform::kMaxPathSize)
    throw CommandError("cannot find plughost's own folder");
  std::string own(path, length);
  return own.substr(0, own.find_last_of("\\/") + 1);
}

std::string tempFolder() {
  char path[platform::kMaxPathSize] = {};
  const DWORD length = GetTempPathA(platform::kMaxPathSize, path);
  if (length == 0 || length >= platform::kMaxPathSize)
    throw CommandError("cannot find the Temp folder");
  return std::string(path, length);
}

// A child that was just ended may hold the DLL for a moment longer.
void deleteSoon(const std::string& path) {
  for (int attempt = 0; attempt < 40; ++attempt) {
    if (DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return;
    Sleep(50);
  }
}

}  // namespace

ScratchEffect::ScratchEffect(const ScratchRequest& request) {
  const std::string engine = fullPath(request.engine);
  if (!isFile(engine)) throw CommandError("engine '" + request.engine + "' does not exist");
  requireOwnWidth(engine, "engine '" + engine + "'");
  requireExport(engine, "kelMain", "an engine library");
  requireAnsiPath(engine, "engine");
  const std::string bridge =
      request.bridge.empty() ? ownFolder() + "kelbridge.dll" : fullPath(request.bridge);
  if (!isFile(bridge)) {
    throw CommandError("bridge '" + bridge + "' does not exist" +
                       (request.bridge.empty() ? " (give one with --bridge)" : ""));
  }
  requireOwnWidth(bridge, "bridge '" + bridge + "'");
  if (!isBridgeImage(bridge)) throw CommandError("'" + bridge + "' is not the kelbridge plug-in");
  for (const std::string& problem : {installation::channelCountProblem(request.channelsIn),
                                     installation::channelCountProblem(request.channelsOut),
                                     installation::processIndexProblem(request.processIndex)}) {
    if (!problem.empty()) throw CommandError(problem);
  }
  std::string error;
  std::vector<std::uint8_t> image;
  if (!readFileBytes(bridge, image, error)) throw CommandError(error);

  // A GUID nobody has registered; a clash with a random one is as good as
  // impossible, but one that exists is never taken over.
  do {
    productGuid = randomGuid();
  } while (platform::RegistryKey().open(nullptr, installation::engineKeyName(productGuid).c_str()));
  try {
    const std::string name = "plughost-validate-" + productGuid.substr(1, productGuid.size() - 2);
    const std::string candidate = tempFolder() + name;
    requireAnsiPath(candidate, "scratch folder");
    if (!CreateDirectoryA(candidate.c_str(), nullptr)) {
      throw CommandError("cannot make the scratch folder '" + candidate + "'");
    }
    folder = candidate + "\\";
    const std::string keyName = installation::engineKeyName(productGuid);
    const long status = installation::registerEnginePath(productGuid, engine);
    registered = true;  // a half-made key is removed too
    if (status != 0) {
      throw CommandError("cannot write HKEY_LOCAL_MACHINE\\" + keyName + " (error " +
                         std::to_string(status) + "; administrator rights needed?)");
    }
    installation::EffectSettings settings;
    productGuid.copy(settings.guid, sizeof settings.guid - 1);
    std::snprintf(settings.name, sizeof settings.name, "%s", kEffectName);
    settings.channelsIn = request.channelsIn;
    settings.channelsOut = request.channelsOut;
    settings.uniqueId = kEffectId;
    settings.processIndex = request.processIndex;
    dll = folder + kEffectName + ".dll";
    ini = installation::settingsPathFor(dll);
    const std::string text = installation::settingsText(settings);
    StagedFiles files;
    if (!files.stage(ini, std::vector<std::uint8_t>(text.begin(), text.end()), error) ||
        !files.stage(dll, image, error) || !files.commit(error)) {
      throw CommandError(error);
    }
  } catch (...) {
    remove();
    throw;
  }
}

ScratchEffect::~ScratchEffect() {
  remove();
}

void ScratchEffect::remove() {
  if (!dll.empty()) deleteSoon(dll);
  if (!ini.empty()) deleteSoon(ini);
  if (!folder.empty() && !RemoveDirectoryA(folder.c_str())) {
    std::fprintf(stderr, "plughost: warning: the scratch folder '%s' is not empty: left in place\n",
                 folder.c_str());
  }
  if (registered) {
    installation::unregisterEngine(productGuid);
  }
  folder.clear();
  registered = false;
}

}  // namespace plughost
