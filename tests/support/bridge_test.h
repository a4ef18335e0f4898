// Fixture of the bridge tests: one host, one installation with a fresh test
// engine script, and readers for the engine's call log and host texts.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bridge_harness.h"

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override { testengine::resetScript(engine()); }
  // Whatever the test did, every registry key the plug-in opened was closed,
  // each exactly once.
  void TearDown() override {
    EXPECT_EQ(harness.registryKeysLeftOpen(), 0);
    EXPECT_EQ(harness.failedRegistryCloses(), 0);
  }
  testengine::Script& engine() { return harness.engine(); }

  // Opens the effect and marks the engine's call log: newOps() reports
  // what came after the construction.
  AEffect* open() {
    AEffect* effect = harness.open(host);
    EXPECT_NE(effect, nullptr);
    mark = engine().callCount;
    return effect;
  }

  std::vector<testengine::Op> opsSince(int from) {
    std::vector<testengine::Op> ops;
    for (int i = from; i < engine().callCount && i < testengine::kMaxCalls; ++i) {
      ops.push_back(engine().calls[i].op);
    }
    return ops;
  }
  std::vector<testengine::Op> newOps() { return opsSince(mark); }

  // Asks for one text with a sentinel-filled buffer and checks that nothing
  // beyond the 64-byte host text was touched.
  std::string hostText(VstInt32 opcode, VstInt32 index = 0) {
    char buffer[kHostTextSize + 32];
    std::memset(buffer, '#', sizeof buffer);
    harness.dispatch(opcode, index, 0, buffer);
    const std::size_t length = strnlen(buffer, sizeof buffer);
    EXPECT_LT(length, kHostTextSize);
    for (std::size_t i = length + 1; i < sizeof buffer; ++i) {
      EXPECT_EQ(buffer[i], '#') << "byte " << i << " written";
    }
    return std::string(buffer, length < sizeof buffer ? length : 0);
  }

  BridgeTestHost host;
  BridgeHarness harness;
  int mark = 0;
};
