// Parameter values, names, labels and display texts as the host receives
// them through the effect record and the dispatcher.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "bridge_test.h"

using testengine::Op;

#if !defined(_WIN32)
// Natively the bridge runs in this program, so counting its heap allocations
// takes replacing the global allocation functions here.
namespace {
std::atomic<int> heapAllocations{0};
}  // namespace
void* operator new(std::size_t size) {
  ++heapAllocations;
  if (void* memory = std::malloc(size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++heapAllocations;
  return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete(void* memory, const std::nothrow_t&) noexcept {
  std::free(memory);
}
#endif

namespace {

struct ParameterSetup {
  const char* name = "Param";
  const char* label = nullptr;
  std::int32_t displayType = 0;
  std::int32_t minimum = 0;
  std::int32_t maximum = 100;
  std::int32_t decimals = 0;
  const char* minimumText = nullptr;
  const char* maximumText = nullptr;
  std::int32_t curve = 0;
  std::uint32_t logBase = 0;
  const char* valueNames = nullptr;
  std::uint8_t automatable = 1;
  std::int32_t value = 0;
};

void copyInto(char* dest, std::size_t size, const char* text, bool* has) {
  *has = text != nullptr;
  std::snprintf(dest, size, "%s", text != nullptr ? text : "");
}

void define(testengine::Script& script, int index, const ParameterSetup& setup) {
  testengine::ParameterScript& p = script.parameters[index];
  copyInto(p.name, sizeof p.name, setup.name, &p.hasName);
  copyInto(p.label, sizeof p.label, setup.label, &p.hasLabel);
  copyInto(p.minimumText, sizeof p.minimumText, setup.minimumText, &p.hasMinimumText);
  copyInto(p.maximumText, sizeof p.maximumText, setup.maximumText, &p.hasMaximumText);
  copyInto(p.valueNames, sizeof p.valueNames, setup.valueNames, &p.hasValueNames);
  p.displayType = setup.displayType;
  p.minimum = setup.minimum;
  p.maximum = setup.maximum;
  p.decimals = setup.decimals;
  p.curve = setup.curve;
  p.logBase = setup.logBase;
  p.automatable = setup.automatable;
  p.fillNothing = false;
  p.value = setup.value;
  if (script.parameterCount <= index) script.parameterCount = index + 1;
}

class BridgeParameters : public BridgeTest {
 protected:
  void SetUp() override {
    BridgeTest::SetUp();
    engine().parameterCount = 0;
  }

  std::string text(VstInt32 opcode, VstInt32 index) { return hostText(opcode, index); }

  // The engine value setParameter(x) hands the engine.
  std::int32_t engineValueFor(float normalized, int engineIndex = 0, int hostIndex = 0) {
    AEffect* effect = harness.effect();
    effect->setParameter(effect, hostIndex, normalized);
    return engine().parameters[engineIndex].value;
  }
};

TEST_F(BridgeParameters, LinearValuesRoundTripThroughTheConverter) {
  ParameterSetup level;
  level.decimals = 1;
  level.minimum = -600;
  level.maximum = 120;
  define(engine(), 0, level);
  AEffect* effect = open();

  EXPECT_EQ(engineValueFor(0.5f), -240);
  EXPECT_EQ(engineValueFor(0.25f), -420);
  EXPECT_EQ(engineValueFor(1.0f), 120);
  EXPECT_EQ(engineValueFor(0.0f), -600);
  engine().parameters[0].value = -240;
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 0.5f);
}

TEST_F(BridgeParameters, LogarithmicValuesFollowTheCurve) {
  ParameterSetup cutoff;
  cutoff.curve = 1;
  cutoff.logBase = 100;
  cutoff.minimum = 0;
  cutoff.maximum = 1000;
  define(engine(), 0, cutoff);
  AEffect* effect = open();

  EXPECT_EQ(engineValueFor(0.5f), 91);  // (100^0.5 - 1) / 99 of the range
  EXPECT_EQ(engineValueFor(1.0f), 1000);
  EXPECT_EQ(engineValueFor(0.0f), 0);
  engine().parameters[0].value = 1000;
  EXPECT_FLOAT_EQ(effect->getParameter(effect, 0), 1.0f);
}

TEST_F(BridgeParameters, HostIndexesSkipHiddenEngineParameters) {
  ParameterSetup visible;
  ParameterSetup hidden;
  hidden.automatable = 0;
  define(engine(), 0, visible);
  define(engine(), 1, hidden);
  define(engine(), 2, visible);
  AEffect* effect = open();
  ASSERT_EQ(effect->numParams, 2);

  effect->setParameter(effect, 1, 1.0f);
  EXPECT_EQ(engine().parameters[2].value, 100);
  EXPECT_EQ(engine().parameters[1].value, 0);
}

TEST_F(BridgeParameters, UnknownHostIndexesNeverReachTheEngine) {
  define(engine(), 0, ParameterSetup{});
  AEffect* effect = open();
  const int callsBefore = engine().callCount;
  for (VstInt32 index : {1, 2, -1, 1 << 30}) {
    SCOPED_TRACE(index);
    effect->setParameter(effect, index, 0.5f);
    EXPECT_EQ(effect->getParameter(effect, index), 0.0f);
    EXPECT_EQ(text(effGetParamName, index), "");
    EXPECT_EQ(text(effGetParamLabel, index), "");
    EXPECT_EQ(text(effGetParamDisplay, index), "");
  }
  EXPECT_EQ(engine().callCount, callsBefore);
}

TEST_F(BridgeParameters, CurveWithoutConverterIsRefused) {
  ParameterSetup odd;
  odd.curve = 2;
  odd.value = 40;
  define(engine(), 0, odd);
  AEffect* effect = open();
  effect->setParameter(effect, 0, 1.0f);
  EXPECT_EQ(engine().parameters[0].value, 40);
  for (int i = 0; i < engine().callCount; ++i) {
    EXPECT_NE(engine().calls[i].op, Op::SetParameter);
  }
  EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
}

// Descriptions the arithmetic cannot serve never give the host NaN and never
// write into the engine a value it did not hold, neither from the host nor
// from the echo of an engine's change notice.
TEST_F(BridgeParameters, DegenerateDescriptionsGiveNoNaNAndKeepTheEngineValue) {
  struct Case {
    const char* what;
    std::int32_t curve, minimum, maximum, decimals;
    std::uint32_t logBase;
    std::int32_t value;
    bool converts;              // equal bounds still convert: minimum and 0.0
    std::int32_t afterHostSet;  // engine value after the host sets 0.7
  } cases[] = {
      {"equal bounds", 0, 5, 5, 0, 0, 5, true, 5},
      {"equal bounds, log", 1, 5, 5, 1, 10, 5, true, 5},
      {"log base 1", 1, 0, 100, 0, 1, 40, false, 40},
      {"log base 0", 1, 0, 100, 0, 0, 40, false, 40},
      {"below the log curve's reach", 1, 0, 100, 0, 10, -50, false, 45},
      {"no finite scale", 0, 0, 100, 400, 0, 40, false, 40},
      {"no finite bounds", 0, 0, 100, -400, 0, 40, false, 40},
  };
  int index = 0;
  for (const Case& c : cases) {
    ParameterSetup setup;
    setup.curve = c.curve;
    setup.minimum = c.minimum;
    setup.maximum = c.maximum;
    setup.decimals = c.decimals;
    setup.logBase = c.logBase;
    setup.value = c.value;
    define(engine(), index++, setup);
  }
  AEffect* effect = open();
  index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const VstInt32 i = index++;
    EXPECT_EQ(effect->getParameter(effect, i), 0.0f);
    const std::size_t automatedBefore = host.requestsWith(audioMasterAutomate).size();
    engine().host->parameterChanged(i);
    EXPECT_EQ(engine().parameters[i].value, c.value);
    const auto automated = host.requestsWith(audioMasterAutomate);
    EXPECT_EQ(automated.size(), automatedBefore + (c.converts ? 1 : 0));
    if (c.converts && !automated.empty()) {
      EXPECT_EQ(automated.back().opt, 0.0f);
    }
    effect->setParameter(effect, i, 0.7f);
    EXPECT_EQ(engine().parameters[i].value, c.afterHostSet);
  }
}

TEST_F(BridgeParameters, ValuesThatAreNotFiniteAreIgnored) {
  ParameterSetup linear;
  linear.value = 40;
  ParameterSetup log = linear;
  log.curve = 1;
  log.logBase = 10;
  define(engine(), 0, linear);
  define(engine(), 1, log);
  AEffect* effect = open();
  for (float value : {NAN, INFINITY, -INFINITY}) {
    for (VstInt32 index : {0, 1}) {
      effect->setParameter(effect, index, value);
      EXPECT_EQ(engine().parameters[index].value, 40) << value << " on " << index;
    }
  }
  EXPECT_EQ(newOps(), std::vector<Op>{});
}

#if !defined(_WIN32)
// A host may poll every parameter at every frame: value access must not
// touch the heap.
TEST_F(BridgeParameters, ValueAccessAllocatesNothing) {
  ParameterSetup linear;
  ParameterSetup log = linear;
  log.curve = 1;
  log.logBase = 10;
  define(engine(), 0, linear);
  define(engine(), 1, log);
  AEffect* effect = open();
  float readBack[2] = {};
  const int before = heapAllocations.load();
  for (VstInt32 index : {0, 1}) {
    effect->setParameter(effect, index, 0.5f);
    readBack[index] = effect->getParameter(effect, index);
  }
  EXPECT_EQ(heapAllocations.load(), before);
  EXPECT_EQ(readBack[0], 0.5f);
  EXPECT_GT(readBack[1], 0.0f);
}
#endif

TEST_F(BridgeParameters, NamesAreCutAtTheFirstAt) {
  const struct {
    const char* name;
    const char* shown;
  } cases[] = {
      {"Cutoff@Filter", "Cutoff"},
      {"Plain", "Plain"},
      {"@Hidden", ""},
      {"a@b@c", "a"},
      {nullptr, ""},
      {"", ""},
  };
  int index = 0;
  for (const auto& c : cases) {
    ParameterSetup setup;
    setup.name = c.name;
    define(engine(), index++, setup);
  }
  open();
  index = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(text(effGetParamName, index++), c.shown);
  }
}

TEST_F(BridgeParameters, LongTextsAreCutToTheHostBuffer) {
  const std::string longName(200, 'n');
  const std::string longList = "first@" + std::string(150, 'v');
  ParameterSetup setup;
  setup.name = longName.c_str();
  setup.label = longName.c_str();
  setup.displayType = 1;
  setup.valueNames = longList.c_str();
  setup.value = 1;
  define(engine(), 0, setup);
  open();
  EXPECT_EQ(text(effGetParamName, 0), std::string(63, 'n'));
  EXPECT_EQ(text(effGetParamLabel, 0), std::string(63, 'n'));
  EXPECT_EQ(text(effGetParamDisplay, 0), std::string(63, 'v'));
}

TEST_F(BridgeParameters, LabelsAreShownAsTheEngineGivesThem) {
  ParameterSetup withLabel;
  withLabel.label = "dB@x";
  ParameterSetup without;
  define(engine(), 0, withLabel);
  define(engine(), 1, without);
  open();
  EXPECT_EQ(text(effGetParamLabel, 0), "dB@x");
  EXPECT_EQ(text(effGetParamLabel, 1), "");
}

TEST_F(BridgeParameters, DisplayRulesApplyInOrder) {
  struct Case {
    const char* what;
    ParameterSetup setup;
    const char* shown;
  };
  auto make = [](std::int32_t value, std::int32_t decimals) {
    ParameterSetup setup;
    setup.value = value;
    setup.decimals = decimals;
    setup.minimum = -1000;
    setup.maximum = 100000;
    return setup;
  };
  std::vector<Case> cases;
  {
    ParameterSetup s = make(1, 0);
    s.displayType = 1;
    s.valueNames = "Off@On";
    cases.push_back({"named value", s, "On"});
    s.value = 0;
    cases.push_back({"first named value", s, "Off"});
    s.value = 2;
    cases.push_back({"value past the names", s, "2"});
    s.value = -1;
    cases.push_back({"negative named value", s, "-1"});
    s.valueNames = nullptr;
    s.value = 5;
    cases.push_back({"named display without names", s, "5"});
  }
  {
    ParameterSetup s = make(-1000, 2);
    s.minimumText = "Off";
    cases.push_back({"minimum text beats decimals", s, "Off"});
    s.minimumText = "";
    cases.push_back({"empty minimum text", s, "-10.00"});
    s = make(100000, 0);
    s.maximumText = "Max";
    cases.push_back({"maximum text", s, "Max"});
    s.value = 99999;
    cases.push_back({"below the maximum", s, "99999"});
  }
  cases.push_back({"whole number", make(-7, 0), "-7"});
  cases.push_back({"fixed point", make(1234, 2), "12.34"});
  cases.push_back({"negative fraction", make(-5, 1), "-0.5"});
  cases.push_back({"zero with places", make(0, 2), "0.00"});
  cases.push_back({"leading zeros after the point", make(7, 3), "0.007"});
  cases.push_back({"nine places", make(100, 9), "0.000000100"});
  cases.push_back({"lowest value", make(-2147483647 - 1, 9), "-2.147483648"});
  cases.push_back({"ten places", make(12345, 10), "0.0000012345"});
  cases.push_back({"negative decimals scale up", make(5, -2), "500"});
  cases.push_back({"eighteen places", make(1, 18), "0.000000000000000001"});
  cases.push_back(
      {"all places the text holds", make(-2147483647 - 1, 28), "-0.0000000000000000002147483648"});
  cases.push_back(
      {"more places than the text holds", make(123, 29), "0.0000000000000000000000000012"});
  cases.push_back({"huge decimals stay bounded", make(1, 40), "0.0000000000000000000000000000"});

  for (std::size_t i = 0; i < cases.size(); ++i) {
    define(engine(), static_cast<int>(i), cases[i].setup);
  }
  open();
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(text(effGetParamDisplay, static_cast<VstInt32>(i)), cases[i].shown);
  }
}

TEST_F(BridgeParameters, EveryIndexCanBeAutomated) {
  define(engine(), 0, ParameterSetup{});
  open();
  for (VstInt32 index : {0, 1, 99, -1}) {
    EXPECT_EQ(harness.dispatch(effCanBeAutomated, index), 1);
  }
}

TEST_F(BridgeParameters, EveryAccessRereadsTheDescription) {
  define(engine(), 0, ParameterSetup{});
  AEffect* effect = open();
  auto infoCalls = [&] {
    int count = 0;
    for (int i = 0; i < engine().callCount; ++i)
      count += engine().calls[i].op == Op::GetParameterInfo;
    return count;
  };
  const int before = infoCalls();
  effect->getParameter(effect, 0);
  effect->getParameter(effect, 0);
  text(effGetParamDisplay, 0);
  EXPECT_EQ(infoCalls(), before + 3);
}

// getParameter reads the value before the description; the display reads the
// description first. An engine may rely on either order.
TEST_F(BridgeParameters, ValueAndDescriptionAreReadInTheirOrder) {
  define(engine(), 0, ParameterSetup{});
  AEffect* effect = open();
  auto opsOf = [&](const std::function<void()>& access) {
    const int from = engine().callCount;
    access();
    std::vector<Op> ops;
    for (int i = from; i < engine().callCount; ++i) ops.push_back(engine().calls[i].op);
    return ops;
  };
  EXPECT_EQ(opsOf([&] { effect->getParameter(effect, 0); }),
            (std::vector<Op>{Op::GetParameter, Op::GetParameterInfo}));
  EXPECT_EQ(opsOf([&] { text(effGetParamDisplay, 0); }),
            (std::vector<Op>{Op::GetParameterInfo, Op::GetParameter}));
}

}  // namespace
