#include "install/engine_check.h"

#include <windows.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine_host/engine_session.h"
#include "engine_host/tool_host.h"
#include "formats/pe_width.h"
#include "installation/engine_registration.h"
#include "kel/kel_interfaces.h"
#include "support/system_message.h"
#include "support/utf8_path.h"

namespace plughost {
namespace {

constexpr std::int32_t kCheckFrames = 64;
constexpr float kCheckRate = 44100.0f;

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

// The engine's module and processor, created in `session` and tried.
std::string tryEngine(enginehost::ToolHost& host, enginehost::EngineSession& session,
                      const std::string& path, const installation::EffectSettings& settings,
                      const EngineCheck& check) {
  std::string problem;
  constexpr bool kWithView = false;
  switch (session.open(path.c_str(), &host, settings.processIndex, kWithView)) {
    case enginehost::OpenFailure::none:
      break;
    case enginehost::OpenFailure::libraryNotLoaded:
      return "engine '" + path + "' cannot be loaded: " + systemMessage(GetLastError(), path);
    case enginehost::OpenFailure::noEntry:
      return "'" + path + "' is not an engine library: it has no export \"kelMain\"";
    case enginehost::OpenFailure::noModule:
      return "engine '" + path + "' gave no module from kelMain";
    case enginehost::OpenFailure::refusedVersion:
      return "engine '" + path + "' has interface version " + std::to_string(session.version()) +
             "; this bridge serves versions up to " + std::to_string(kel::kHighestEngineVersion);
    case enginehost::OpenFailure::noProcessor:
      return "engine '" + path + "' has no processor with index " +
             std::to_string(settings.processIndex);
  }
  if (check.checkChannels) {
    kel::IProcessor* processor = session.processor();
    session.start(check.channelsIn, check.channelsOut);
    // Rate and block size after activation, as a host sends them to the
    // plug-in once it is open.
    processor->setSampleRate(kCheckRate);
    processor->setBlockSize(kCheckFrames);
    const int untouched = unwrittenOutputs(processor, check);
    if (untouched > 0) {
      problem = "processor " + std::to_string(settings.processIndex) + " of engine '" + path +
                "' does not serve " + std::to_string(check.channelsIn) + " in / " +
                std::to_string(check.channelsOut) + " out: it left " + std::to_string(untouched) +
                " output channel(s) unwritten";
    }
  }
  return problem;
}

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
  const std::string problem = registryProblem(settings.guid, path);
  if (!problem.empty()) return problem;
  // An exception the engine lets out stops at the lambda rather than
  // unwinding through plughost: it ends plughost as the engine's fault. The
  // session lives outside the lambda, so the engine that owns the
  // exception's object and type stays loaded until then.
  enginehost::ToolHost host;  // declared first: it outlives the session
  enginehost::EngineSession session;
  return [&]() noexcept { return tryEngine(host, session, path, settings, check); }();
}

}  // namespace plughost
