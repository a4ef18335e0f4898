// Cost of one host parameter access through the plug-in: map lookup, engine
// description, converter, engine value, and for the display the formatting.
// The pieces are then timed on their own with the same code and runtime.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "benchmarks.h"
#include "bridge/converter_choice.h"
#include "convert/converter_linear.h"
#include "report.h"
#include "vst/host_text.h"
#include "vst/vst_opcodes.h"

namespace bench {

namespace {
constexpr double kValueTargetNs = 100.0;
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
  target("getParameter", getNs, "ns", "< 100 ns", getNs < kValueTargetNs);
  target("setParameter", setNs, "ns", "< 100 ns", setNs < kValueTargetNs);
  target("effGetParamDisplay (opcode 7)", displayNs, "ns", "< 300 ns",
         displayNs < kDisplayTargetNs);

  // The same steps one by one, outside the plug-in.
  note("where the time goes (each piece alone, same code and runtime as the plug-in):");
  kel::SParameterInfo gain;
  direct.getParameterInfo(0, &gain);
  volatile std::int32_t engineValue = 0;
  volatile double real = 0.0;
  volatile std::int32_t decimals = gain.decimals;
  volatile float normalized = kSetValue;
  auto engineCalls = [&direct, &engineValue] {
    kel::SParameterInfo info;
    direct.getParameterInfo(0, &info);
    engineValue = direct.getParameter(0);
  };
  auto converterToNormalized = [&gain, &real, &engineValue] {
    ovu::IConverter* converter = kel::makeConverter(gain);
    real = converter->valueToNormalized(engineValue);
    converter->release();
  };
  auto converterToValue = [&gain, &normalized, &engineValue] {
    ovu::IConverter* converter = kel::makeConverter(gain);
    engineValue = converter->normalizedToValue(normalized);
    converter->release();
  };
  auto heap = [] {
    void* memory = ::operator new(sizeof(ovu::CConverterLinear));
    keep(memory);
    ::operator delete(memory);
  };
  auto power = [&decimals, &real] { real = std::pow(10.0, decimals); };
  auto format = [&engineValue, &decimals, &text] {
    std::snprintf(text, sizeof text, "%.*f", static_cast<int>(decimals),
                  static_cast<double>(engineValue) / 10.0);
    keep(text);
  };
  figure("  engine: getParameterInfo + getParameter", medianNanoseconds(engineCalls, timing), "ns");
  figure("  converter made, valueToNormalized, released",
         medianNanoseconds(converterToNormalized, timing), "ns");
  figure("  converter made, normalizedToValue, released",
         medianNanoseconds(converterToValue, timing), "ns");
  figure("    of which heap: new + delete of its size", medianNanoseconds(heap, timing), "ns");
  figure("    of which one pow(10, decimals) (3 per use)", medianNanoseconds(power, timing), "ns");
  figure("  snprintf \"%.*f\" of the value (display)", medianNanoseconds(format, timing), "ns");
}

}  // namespace bench
