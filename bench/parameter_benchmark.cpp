// Cost of one host parameter access through the plug-in: map lookup, engine
// description, converter, engine value, and for the display the formatting.
// The pieces are then timed on their own with the same code and runtime.
#include <cstring>

#include "benchmarks.h"
#include "bridge/converter_choice.h"
#include "report.h"
#include "vst/host_text.h"
#include "vst/vst_opcodes.h"

namespace bench {

namespace {
constexpr double kValueTargetNs = 60.0;
constexpr double kDisplayTargetNs = 300.0;
constexpr float kSetValue = 0.37f;
}  // namespace

void benchmarkParameters(AEffect& effect, kel::IProcessor& direct, const Timing& timing) {
  heading("2. Parameter access through the effect record and the dispatcher");
  note("host parameter 0: engine parameter \"Gain\", linear, -600..120 with 1 decimal");

  volatile float readBack = 0.0f;
  char text[kHostTextSize] = {};
  auto set = [&effect] { effect.setParameter(&effect, 0, kSetValue); };
  auto get = [&effect, &readBack] { readBack = effect.getParameter(&effect, 0); };
  auto display = [&effect, &text] {
    effect.dispatcher(&effect, effGetParamDisplay, 0, 0, text, 0.0f);
    keep(text);
  };

  const double setNs = medianNanoseconds(set, timing);
  const double getNs = medianNanoseconds(get, timing);
  const double displayNs = medianNanoseconds(display, timing);
  note("after setParameter(0, %.2f): getParameter answers %.4f, the display shows \"%s\"",
       kSetValue, static_cast<double>(readBack), text);
  target("getParameter", getNs, "ns", "<= 60 ns", getNs <= kValueTargetNs);
  target("setParameter", setNs, "ns", "<= 60 ns", setNs <= kValueTargetNs);
  target("effGetParamDisplay (opcode 7)", displayNs, "ns", "< 300 ns",
         displayNs < kDisplayTargetNs);

  // The same steps one by one, outside the plug-in.
  note("where the time goes (each piece alone, same code and runtime as the plug-in):");
  kel::SParameterInfo gain;
  direct.getParameterInfo(0, &gain);
  volatile std::int32_t engineValue = 0;
  volatile double real = 0.0;
  volatile float normalized = kSetValue;
  auto engineCalls = [&direct, &engineValue] {
    kel::SParameterInfo info;
    direct.getParameterInfo(0, &info);
    engineValue = direct.getParameter(0);
  };
  auto converterToNormalized = [&gain, &real, &engineValue] {
    const bridge::ConverterFor converter(gain);
    real = converter.get()->valueToNormalized(engineValue);
  };
  auto converterToValue = [&gain, &normalized, &engineValue] {
    const bridge::ConverterFor converter(gain);
    engineValue = converter.get()->normalizedToValue(normalized);
  };
  figure("  engine: getParameterInfo + getParameter", medianNanoseconds(engineCalls, timing), "ns");
  figure("  converter built in place, valueToNormalized",
         medianNanoseconds(converterToNormalized, timing), "ns");
  figure("  converter built in place, normalizedToValue",
         medianNanoseconds(converterToValue, timing), "ns");
}

}  // namespace bench
