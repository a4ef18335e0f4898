#include "install/engine_check.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "formats/pe_width.h"
#include "installation/engine_registration.h"
#include "kel/kel_interfaces.h"
#include "platform/platform.h"
#include "support/system_message.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

constexpr std::int32_t kCheckFrames = 64;
constexpr float kCheckRate = 44100.0f;

// The host side the engine sees during a check: no tempo, no automation.
class CheckHost : public kel::IHost {
 public:
  std::int32_t getVersion() override { return kel::kHostVersion; }
  void parameterChanged(std::int32_t) override {}
  double getTempo() override { return 120.0; }
  std::int32_t getHostFlag() override { return kel::kHostFlag; }
};

// Runs one block with sentinel-filled outputs; answers the count of output
// channels the processor left untouched.
int unwrittenOutputs(kel::IProcessor* processor, const EngineCheck& check) {
  const float sentinel = std::numeric_limits<float>::quiet_NaN();
  std::vector<std::vector<float>> ins(static_cast<std::size_t>(check.channelsIn),
                                      std::vector<float>(kCheckFrames, 0.0f));
  std::vector<std::vector<float>> outs(static_cast<std::size_t>(check.channelsOut),
                                       std::vector<float>(kCheckFrames, sentinel));
  std::vector<float*> inPointers;
  std::vector<float*> outPointers;
  for (auto& c : ins) inPointers.push_back(c.data());
  for (auto& c : outs) outPointers.push_back(c.data());
  std::int32_t flags = 0;
  processor->process(outPointers.empty() ? nullptr : outPointers.data(),
                     inPointers.empty() ? nullptr : inPointers.data(), kCheckFrames, &flags);
  int untouched = 0;
  for (const auto& c : outs) {
    if (std::isnan(c.front()) && std::isnan(c.back())) ++untouched;
  }
  return untouched;
}

std::string tryEngine(kel::KelMainProc entry, const std::string& path,
                      const installation::EffectSettings& settings, const EngineCheck& check);

}  // namespace

std::string registryProblem(const std::string& guid, std::string& enginePath) {
  char path[installation::kPathSize] = {};
  const std::string keyName = installation::engineKeyName(guid);
  switch (installation::findEnginePath(guid.c_str(), path, sizeof path)) {
    case installation::EngineLookup::found:
      enginePath = path;
      return "";
    case installation::EngineLookup::noKey:
      return "engine GUID '" + guid + "' is not registered (no key HKEY_LOCAL_MACHINE\\" + keyName +
             "; use plughost register)";
    case installation::EngineLookup::noValue:
      break;
  }
  return "HKEY_LOCAL_MACHINE\\" + keyName + " has no " + installation::kEnginePathValue +
         " value (use plughost register)";
}

void requireRegisteredEngineOfOwnWidth(const std::string& guid) {
  std::string path;
  if (!registryProblem(guid, path).empty()) return;
  requireOwnWidth(path, "engine '" + path + "' registered under " + guid);
}

std::string engineProblem(const installation::EffectSettings& settings, const EngineCheck& check) {
  std::string path;
  std::string problem = registryProblem(settings.guid, path);
  if (!problem.empty()) return problem;
  platform::Library library;
  if (!library.load(path.c_str())) {
    return "engine '" + path + "' cannot be loaded: " + systemMessage(GetLastError(), path);
  }
  auto entry = reinterpret_cast<kel::KelMainProc>(library.symbol("kelMain"));
  if (!entry) return "'" + path + "' is not an engine library: it has no export \"kelMain\"";
  // An exception the engine lets out stops here rather than unwinding
  // through plughost, which would unload the engine with the exception's
  // object and type still in use: it ends plughost as the engine's fault.
  return [&]() noexcept { return tryEngine(entry, path, settings, check); }();
}

namespace {

// The engine's module and processor, created, tried and released.
std::string tryEngine(kel::KelMainProc entry, const std::string& path,
                      const installation::EffectSettings& settings, const EngineCheck& check) {
  std::string problem;
  CheckHost host;
  std::int32_t version = 0;
  kel::IModule* module = entry(&host, &version);
  if (!module) return "engine '" + path + "' gave no module from kelMain";
  if (static_cast<std::uint32_t>(version) > kel::kHighestEngineVersion) {
    module->release();
    return "engine '" + path + "' has interface version " + std::to_string(version) +
           "; this bridge serves versions up to " + std::to_string(kel::kHighestEngineVersion);
  }
  kel::IProcessor* processor = module->createProcessor(settings.processIndex);
  if (!processor) {
    module->release();
    return "engine '" + path + "' has no processor with index " +
           std::to_string(settings.processIndex);
  }
  if (check.checkChannels) {
    processor->setInputCount(check.channelsIn);
    processor->setOutputCount(check.channelsOut);
    processor->setSampleRate(kCheckRate);
    processor->setBlockSize(kCheckFrames);
    processor->initialize();
    processor->activate();
    const int untouched = unwrittenOutputs(processor, check);
    processor->deactivate();
    processor->terminate();
    if (untouched > 0) {
      problem = "processor " + std::to_string(settings.processIndex) + " of engine '" + path +
                "' does not serve " + std::to_string(check.channelsIn) + " in / " +
                std::to_string(check.channelsOut) + " out: it left " + std::to_string(untouched) +
                " output channel(s) unwritten";
    }
  }
  processor->release();
  module->release();
  return problem;
}

}  // namespace

}  // namespace plughost
