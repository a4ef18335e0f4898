// parameters: every parameter takes 0, 1, 0.5 and random values; what
// getParameter answers is finite, within 0..1 and what was set, within the
// parameter's resolution; the texts stay terminated.
#include <algorithm>
#include <cmath>
#include <set>

#include "validate/check_list.h"
#include "validate/validated_effect.h"

namespace plughost {
namespace {

constexpr int kSweepSteps = 100;
constexpr float kTolerance = 1e-4f;

// Sets `value` and reads it back; false after a failure when the answer is
// not finite or not within 0..1.
bool setAndGet(CheckContext& context, ValidatedEffect& effect, int index, float value,
               float& answer) {
  effect.setParameter(index, value);
  answer = effect.getParameter(index);
  if (!std::isfinite(answer) || answer < 0.0f || answer > 1.0f) {
    context.fail(
        format("parameter %d: getParameter answers %g after setParameter(%g), outside 0..1", index,
               static_cast<double>(answer), static_cast<double>(value)));
    return false;
  }
  return true;
}

// The largest step between neighbouring values a sweep reaches: how far a
// set value may move when the parameter rounds it; at least one sweep step.
bool resolution(CheckContext& context, ValidatedEffect& effect, int index, float& step) {
  std::set<float> reached;
  for (int k = 0; k <= kSweepSteps; ++k) {
    float answer;
    if (!setAndGet(context, effect, index, static_cast<float>(k) / kSweepSteps, answer))
      return false;
    reached.insert(answer);
  }
  step = 0.0f;
  float previous = *reached.begin();
  for (float value : reached) {
    step = std::max(step, value - previous);
    previous = value;
  }
  step = std::max(step, 1.0f / kSweepSteps);
  return true;
}

void checkParameter(CheckContext& context, ValidatedEffect& effect, int index) {
  float low, high;
  if (!setAndGet(context, effect, index, 0.0f, low) ||
      !setAndGet(context, effect, index, 1.0f, high)) {
    return;
  }
  if (low == high) {
    context.fail(
        format("parameter %d ignores setParameter: getParameter answers %g after both "
               "setParameter(0) and setParameter(1)",
               index, static_cast<double>(low)));
    return;
  }
  float step;
  if (!resolution(context, effect, index, step)) return;
  std::vector<float> values = {0.0f, 1.0f, 0.5f};
  for (int r = 0; r < 4 * context.level(); ++r) values.push_back(context.uniform(0.0f, 1.0f));
  for (float value : values) {
    float answer;
    if (!setAndGet(context, effect, index, value, answer)) return;
    if (std::fabs(answer - value) > step + kTolerance) {
      context.fail(
          format("parameter %d: setParameter(%g) then getParameter answers %g, further "
                 "than its resolution %g",
                 index, static_cast<double>(value), static_cast<double>(answer),
                 static_cast<double>(step)));
      return;
    }
    effect.text(effGetParamDisplay, index, format("parameter %d at %g", index, value));
  }
  effect.text(effGetParamName, index, format("parameter %d", index));
  effect.text(effGetParamLabel, index, format("parameter %d", index));
}

}  // namespace

void checkParameters(CheckContext& context) {
  ValidatedEffect effect(context);
  const int count = std::min(effect.parameterCount(), kMaxCheckedParameters);
  for (int i = 0; i < count; ++i) checkParameter(context, effect, i);
  context.figure("parameters", count);
}

}  // namespace plughost
