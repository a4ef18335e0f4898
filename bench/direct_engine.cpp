#include "direct_engine.h"

#include <cstddef>
#include <cstring>

namespace bench {

namespace {

constexpr std::size_t kMaxPath = 260;  // Windows' own limit, the NUL included

}  // namespace

// Answers the engine as the plug-in does, without a host behind it.
class DirectEngine::Host final : public kel::IHost {
 public:
  std::int32_t getVersion() override { return kel::kHostVersion; }
  void parameterChanged(std::int32_t) override {}
  double getTempo() override { return 0.0; }
  std::int32_t getHostFlag() override { return kel::kHostFlag; }
};

DirectEngine::DirectEngine(const std::string& libraryPath) : host(new Host) {
  if (!library.load(libraryPath.c_str())) return;
  auto entry = reinterpret_cast<kel::KelMainProc>(library.symbol("kelMain"));
  if (entry == nullptr) return;
  std::int32_t version = 0;
  module = entry(host, &version);
  if (module == nullptr) return;
  engineProcessor = module->createProcessor(0);
  if (engineProcessor == nullptr) return;
  engineProcessor->setInputCount(2);
  engineProcessor->setOutputCount(2);
  engineProcessor->initialize();
  engineProcessor->activate();
}

DirectEngine::~DirectEngine() {
  if (engineProcessor != nullptr) {
    engineProcessor->deactivate();
    engineProcessor->terminate();
    engineProcessor->release();
  }
  if (module != nullptr) module->release();
  library.unload();
  delete host;
}

std::string programFolder() {
  char path[kMaxPath];
  if (!platform::moduleFileName(nullptr, path, sizeof path)) return std::string();
  char* slash = std::strrchr(path, '\\');
  if (slash != nullptr) slash[1] = '\0';
  return path;
}

}  // namespace bench
