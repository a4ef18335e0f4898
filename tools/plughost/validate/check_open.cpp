// open: the effect opens, quickly, with a sane record and with its engine,
// and main() asks the host nothing about the effect it is still building.
#include <windows.h>

#include <memory>

#include "hosting/plugin_loader.h"
#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

// Bounds no real effect comes near; beyond them the record is garbage.
constexpr int kMaxChannels = 256;
constexpr int kMaxParameters = 100000;

const char* hostOpcodeName(VstInt32 opcode) {
  switch (opcode) {
    case audioMasterAutomate:
      return "audioMasterAutomate";
    case audioMasterIdle:
      return "audioMasterIdle";
    case audioMasterGetTime:
      return "audioMasterGetTime";
    case audioMasterProcessEvents:
      return "audioMasterProcessEvents";
    case audioMasterIOChanged:
      return "audioMasterIOChanged";
    case audioMasterSizeWindow:
      return "audioMasterSizeWindow";
    case audioMasterUpdateDisplay:
      return "audioMasterUpdateDisplay";
    case audioMasterBeginEdit:
      return "audioMasterBeginEdit";
    case audioMasterEndEdit:
      return "audioMasterEndEdit";
    default:
      return "a host call";
  }
}

void checkRecord(CheckContext& context, const AEffect& record) {
  if (record.numInputs < 0 || record.numInputs > kMaxChannels || record.numOutputs < 0 ||
      record.numOutputs > kMaxChannels) {
    context.fail(format("the record announces %d inputs and %d outputs", record.numInputs,
                        record.numOutputs));
  }
  if (record.numParams < 0 || record.numParams > kMaxParameters || record.numPrograms < 0) {
    context.fail(format("the record announces %d parameters and %d programs", record.numParams,
                        record.numPrograms));
  }
  if (!record.getParameter || !record.setParameter ||
      (!record.process && !record.processReplacing)) {
    context.fail("the record lacks getParameter, setParameter or a process function");
  }
  // The bridge's effect without its engine: the default ID and no flags.
  // The reason is told as `plughost info` tells it, step by step.
  if (record.uniqueID == kDefaultUniqueId && record.flags == 0) {
    context.calling("(finding why the engine did not load)");
    std::string reason = engineAbsenceReason(context.plugin());
    if (reason.empty()) reason = "the engine did not load";
    context.fail("the effect came up without its engine (unique ID 'NoEf', no flags): " + reason);
  }
}

}  // namespace

void checkOpen(CheckContext& context) {
  double start = nowSeconds();
  auto cold = std::make_unique<ValidatedEffect>(context);
  const double coldMs = 1000.0 * (nowSeconds() - start);
  checkRecord(context, cold->record());
  if (cold->instanceCallDuringMain() >= 0) {
    context.fail(
        format("main() called the host with %s (opcode %d) about the effect it had not "
               "yet returned: hosts know an effect only once main() returns it",
               hostOpcodeName(cold->instanceCallDuringMain()), cold->instanceCallDuringMain()));
  }
  cold.reset();
  start = nowSeconds();
  auto warm = std::make_unique<ValidatedEffect>(context);
  const double warmMs = 1000.0 * (nowSeconds() - start);
  warm.reset();
  context.figure("cold_open_ms", coldMs);
  context.figure("warm_open_ms", warmMs);
  const double limit = openLimitMs(context.level());
  if (coldMs > limit || warmMs > limit) {
    context.fail(format("opening takes %.0f ms cold and %.0f ms warm, above the %.0f ms limit",
                        coldMs, warmMs, limit));
  }
}

}  // namespace plughost
