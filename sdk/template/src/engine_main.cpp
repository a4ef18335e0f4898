// MyTone's module and the library's one export, kelMain.
#include <new>

#include "kel/kel_interfaces.h"
#include "tone_processor.h"
#include "tone_view_win32.h"

namespace mytone {
namespace {

class ToneModule final : public kel::IModule {
 public:
  explicit ToneModule(kel::IHost* host) : host_(host) {}

  // [main] The object is deleted; the bridge calls it once, last.
  void release() override { delete this; }

  // [main] Processor 0 is the tone; other indexes have none.
  kel::IProcessor* createProcessor(std::int32_t processIndex) override {
    if (processIndex != 0) return nullptr;
    return new (std::nothrow) ToneProcessor;
  }

  // [main] A view of a processor of this module, or null.
  kel::IView* createView(kel::IProcessor* processor) override {
    auto* tone = dynamic_cast<ToneProcessor*>(processor);
    return tone ? new (std::nothrow) ToneView(tone, host_) : nullptr;
  }

 private:
  kel::IHost* host_;
};

}  // namespace
}  // namespace mytone

// [main] Once per plug-in instance: writes the interface version and answers
// a module owned by the caller (freed with release()), or null when memory
// runs out. `host` outlives the module; `version` may be null.
extern "C" kel::IModule* KEL_CDECL kelMain(kel::IHost* host, std::int32_t* version) {
  if (version) *version = static_cast<std::int32_t>(kel::kHighestEngineVersion);
  return new (std::nothrow) mytone::ToneModule(host);
}
