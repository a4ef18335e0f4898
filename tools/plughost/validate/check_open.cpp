// open: the effect opens, quickly, with a sane record and with its engine.
#include <windows.h>

#include <memory>

#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

// Bounds no real effect comes near; beyond them the record is garbage.
constexpr int kMaxChannels = 256;
constexpr int kMaxParameters = 100000;

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
  if (record.uniqueID == kDefaultUniqueId && record.flags == 0) {
    context.fail(
        "the effect came up without its engine (unique ID 'NoEf', no flags): its .ini file, "
        "registry entry or engine library is missing or refused");
  }
}

}  // namespace

void checkOpen(CheckContext& context) {
  double start = nowSeconds();
  auto cold = std::make_unique<ValidatedEffect>(context);
  const double coldMs = 1000.0 * (nowSeconds() - start);
  checkRecord(context, cold->record());
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
