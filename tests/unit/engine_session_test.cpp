// One engine opened, started and closed as the bridge, plughost and the
// benchmark open engines: the calls in the engines' order, every failed step
// stopping the open with nothing left alive, and the versions served.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <vector>

#include "bridge_harness.h"
#include "engine_host/engine_session.h"
#include "engine_host/tool_host.h"

namespace {

using enginehost::EngineSession;
using enginehost::OpenFailure;
using testengine::Op;

std::vector<Op> opsOf(const testengine::Script& script) {
  std::vector<Op> ops;
  for (int i = 0; i < script.callCount && i < testengine::kMaxCalls; ++i) {
    ops.push_back(script.calls[i].op);
  }
  return ops;
}

// The harness only finds the test engine (the common one or a private copy)
// and reaches its script; no effect is opened.
class EngineSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { testengine::resetScript(engine()); }
  testengine::Script& engine() { return harness.engine(); }

  BridgeHarness harness;
  enginehost::ToolHost host;
};

TEST(EngineVersion, ZeroToTheHighestAreServedComparedUnsigned) {
  const struct {
    std::int32_t version;
    bool served;
  } cases[] = {{0, true},   {5, true},          {6, false},
               {-1, false}, {INT32_MIN, false}, {INT32_MAX, false}};
  static_assert(kel::kHighestEngineVersion == 5, "the table's boundary");
  for (const auto& c : cases) {
    EXPECT_EQ(enginehost::servesEngineVersion(c.version), c.served) << c.version;
  }
}

TEST_F(EngineSessionTest, OpensStartsAndClosesInTheEnginesOrder) {
  {
    EngineSession session;
    ASSERT_EQ(session.open(harness.enginePath().c_str(), &host, 3, true), OpenFailure::none);
    EXPECT_NE(session.processor(), nullptr);
    EXPECT_NE(session.view(), nullptr);
    EXPECT_EQ(engine().processIndexSeen, 3);
    // The engine holds the host it was given, which has no tempo to tell.
    ASSERT_EQ(engine().host, static_cast<kel::IHost*>(&host));
    EXPECT_EQ(engine().host->getTempo(), 0.0);
    EXPECT_EQ(engine().host->getVersion(), kel::kHostVersion);

    session.start(1, 4);
    session.start(1, 4);  // a second start calls nothing
    EXPECT_EQ(engine().inputCount, 1);
    EXPECT_EQ(engine().outputCount, 4);
    EXPECT_EQ(engine().liveObjects, 3);
  }  // the session closes as it goes
  EXPECT_EQ(
      opsOf(engine()),
      (std::vector<Op>{Op::KelMain, Op::CreateProcessor, Op::CreateView, Op::SetInputCount,
                       Op::SetOutputCount, Op::Initialize, Op::Activate, Op::ViewRelease,
                       Op::Deactivate, Op::Terminate, Op::ProcessorRelease, Op::ModuleRelease}));
  EXPECT_EQ(engine().liveObjects, 0);
}

// A processor never started is released without being stopped; close
// unloads the library, and a second close does nothing.
TEST_F(EngineSessionTest, UnstartedSessionReleasesAndUnloadsOnce) {
  harness.usePrivateEngineCopy("SessionEngine.dll");
  EngineSession session;
  ASSERT_EQ(session.open(harness.enginePath().c_str(), &host, 0, false), OpenFailure::none);
  EXPECT_EQ(session.view(), nullptr);
  EXPECT_TRUE(harness.privateEngineLoaded());
  session.close();
  session.close();
  EXPECT_FALSE(harness.privateEngineLoaded());
  EXPECT_EQ(session.processor(), nullptr);
#if !defined(_WIN32)
  // Under Windows the private copy's script block is out of the test's reach.
  EXPECT_EQ(opsOf(engine()), (std::vector<Op>{Op::KelMain, Op::CreateProcessor,
                                              Op::ProcessorRelease, Op::ModuleRelease}));
#endif
}

// Each failed step stops the open: nothing past it is called, no engine
// object stays alive, and start and close add no call.
TEST_F(EngineSessionTest, EachFailedStepStopsTheOpen) {
  const struct {
    const char* what;
    std::function<void(BridgeHarness&, testengine::Script&)> breakIt;
    OpenFailure failure;
    std::vector<Op> ops;
  } cases[] = {
      {"missing library",
       [](BridgeHarness& h, testengine::Script&) { h.useMissingEngine(); },
       OpenFailure::libraryNotLoaded,
       {}},
      {"no kelMain",
       [](BridgeHarness& h, testengine::Script&) { h.useEngineWithoutEntry(); },
       OpenFailure::noEntry,
       {}},
      {"null module",
       [](BridgeHarness&, testengine::Script& s) { s.kelMainReturnsNull = true; },
       OpenFailure::noModule,
       {Op::KelMain}},
      {"version 6",
       [](BridgeHarness&, testengine::Script& s) { s.version = 6; },
       OpenFailure::refusedVersion,
       {Op::KelMain, Op::ModuleRelease}},
      {"version -1",
       [](BridgeHarness&, testengine::Script& s) { s.version = -1; },
       OpenFailure::refusedVersion,
       {Op::KelMain, Op::ModuleRelease}},
      {"null processor",
       [](BridgeHarness&, testengine::Script& s) { s.nullProcessor = true; },
       OpenFailure::noProcessor,
       {Op::KelMain, Op::CreateProcessor, Op::ModuleRelease}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    BridgeHarness installation;
    testengine::resetScript(engine());
    c.breakIt(installation, engine());
    EngineSession session;
    EXPECT_EQ(session.open(installation.enginePath().c_str(), &host, 0, true), c.failure);
    EXPECT_EQ(session.processor(), nullptr);
    EXPECT_EQ(session.view(), nullptr);
    EXPECT_EQ(session.version(), c.ops.empty() ? 0 : engine().version);
    EXPECT_EQ(engine().liveObjects, 0);
    session.start(2, 2);
    session.close();
    EXPECT_EQ(opsOf(engine()), c.ops);
  }
}

}  // namespace
