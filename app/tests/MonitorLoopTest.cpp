// The monitoring loop's dispatch, with a counting worker and a gate in place of the one-second wait.

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/tests/FakeWindow.h"
#include "app/tests/Waiting.h"

namespace jdsm {
namespace {

using test::kPatience;

class Loop : public ::testing::Test {
  protected:
    void SetUp() override {
        initGlobals();
        Globals& g = globals();
        g.window = &window;
        g.passWait = gate.asPassWait();
        g.worker = calls.asWorker();
        window.setControlText(Control::ToggleButton, captionStart());
    }
    void TearDown() override {
        gate.open();
        EXPECT_TRUE(stopMonitor(std::chrono::steady_clock::now() + kPatience));
        releaseGlobals();
        initGlobals();
    }
    // Pauses and lets every loop run to its end.
    void pauseAndDrain() {
        onToggleClicked();
        gate.open();
        ASSERT_TRUE(globals().activities->waitIdle(std::chrono::steady_clock::now() + kPatience));
    }

    test::FakeWindow window;
    test::PassGate gate;
    test::WorkerCalls calls;
};

TEST_F(Loop, StartsOneWorkerPerLinePerPass) {
    struct Case {
        const char* ids;
        int32_t lines;
    };
    const Case cases[] = {
        {"", 0},      {"100012043978", 1}, {"A\r\n\r\nB", 3},  // the empty line in between gets its worker
        {"A\r\n", 1},                                          // a trailing line break adds no line
        {"\r\n", 1},  {"\r\nA\r\nB", 3},   {"A\nB", 1},        // only CR LF separates lines
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ids);
        initGlobals();
        test::FakeWindow caseWindow;
        test::PassGate caseGate;
        test::WorkerCalls caseCalls;
        Globals& g = globals();
        g.window = &caseWindow;
        g.passWait = caseGate.asPassWait();
        g.worker = caseCalls.asWorker();
        caseWindow.setControlText(Control::ToggleButton, captionStart());
        caseWindow.setControlText(Control::IdBox, c.ids);

        onToggleClicked();
        ASSERT_TRUE(caseGate.awaitPasses(1));
        caseGate.release(2);
        ASSERT_TRUE(caseGate.awaitPasses(3));
        onToggleClicked();
        caseGate.open();
        ASSERT_TRUE(g.activities->waitIdle(std::chrono::steady_clock::now() + kPatience));

        // Three passes before the pause, none after it.
        std::map<int32_t, int64_t> expected;
        for (int32_t line = 1; line <= c.lines; ++line)
            expected[line] = 3;
        EXPECT_EQ(caseCalls.perLine(), expected);
        EXPECT_EQ(g.gMonitoring.load(), 0);
    }
    initGlobals();  // for TearDown
}

TEST_F(Loop, CountsTheLinesOnceAtItsStart) {
    window.setControlText(Control::IdBox, "A\r\nB");
    onToggleClicked();
    ASSERT_TRUE(gate.awaitPasses(1));
    window.setControlText(Control::IdBox, "A\r\nB\r\nC\r\nD");
    gate.release(1);
    ASSERT_TRUE(gate.awaitPasses(2));
    pauseAndDrain();
    EXPECT_EQ(calls.perLine(), (std::map<int32_t, int64_t>{{1, 2}, {2, 2}}));
}

TEST_F(Loop, PauseAndStartWithinThePassLeavesExactlyOneLoop) {
    Globals& g = globals();
    window.setControlText(Control::IdBox, "A");
    onToggleClicked();
    ASSERT_TRUE(gate.awaitPasses(1));  // the first loop now sleeps between passes

    onToggleClicked();  // pause
    window.setControlText(Control::IdBox, "A\r\nB\r\nC");
    onToggleClicked();  // start again before the first loop wakes
    ASSERT_TRUE(gate.awaitPasses(2));
    EXPECT_EQ(g.gMonitoring.load(), 1);

    gate.release(2);  // both loops wake; only the second goes on
    ASSERT_TRUE(gate.awaitPasses(3));
    pauseAndDrain();
    EXPECT_EQ(gate.passes(), 3);
    EXPECT_EQ(calls.perLine(), (std::map<int32_t, int64_t>{{1, 1 + 2}, {2, 2}, {3, 2}}));
}

TEST_F(Loop, APauseBeforeTheLoopSetItsFlagStillStopsIt) {
    Globals& g = globals();
    window.setControlText(Control::IdBox, "A");
    onToggleClicked();
    const uint64_t startNumber = g.startCount.load();
    onToggleClicked();
    // The started thread may or may not have got going before the pause. Running the loop once more
    // with its start number shows the late case for certain: it must end at once, before any pass
    // (with the gate shut, a pass would never return), and leave the flag at 0.
    auto late = std::async(std::launch::async, [startNumber] { monitorLoop(startNumber); });
    const bool endedAtOnce = late.wait_for(kPatience) == std::future_status::ready;
    EXPECT_EQ(g.gMonitoring.load(), 0);
    gate.open();
    ASSERT_TRUE(endedAtOnce);
    ASSERT_TRUE(g.activities->waitIdle(std::chrono::steady_clock::now() + kPatience));
    EXPECT_EQ(g.gMonitoring.load(), 0);
    // At most the one pass the started thread may have made before the pause.
    EXPECT_LE(gate.passes(), 1);
    EXPECT_LE(calls.total(), 1);
}

TEST_F(Loop, RapidTogglingEndsStoppedWithNoLoopLeft) {
    Globals& g = globals();
    window.setControlText(Control::IdBox, "A\r\nB");
    gate.open();
    for (int i = 0; i < 200; ++i)
        onToggleClicked();  // ends paused
    // With the gate open a loop left running would dispatch for ever and never let this wait end.
    ASSERT_TRUE(g.activities->waitIdle(std::chrono::steady_clock::now() + kPatience));
    EXPECT_EQ(g.gMonitoring.load(), 0);
    EXPECT_EQ(window.controlText(Control::ToggleButton), captionStart());
}

TEST_F(Loop, TheDefaultWaitEndsAtOnceOnPause) {
    Globals& g = globals();
    g.passWait = nullptr;  // the real one-second wait
    window.setControlText(Control::IdBox, "A");
    onToggleClicked();
    ASSERT_TRUE(calls.awaitTotal(1));
    const auto paused = std::chrono::steady_clock::now();
    onToggleClicked();
    // Well under the second a sleeping loop would otherwise take.
    ASSERT_TRUE(g.activities->waitIdle(paused + std::chrono::milliseconds(800)));
}

TEST_F(Loop, ExitStopsTheLoopAndRefusesNewThreadsButGivesUpOnABlockedWorker) {
    Globals& g = globals();
    std::mutex m;
    std::condition_variable cv;
    bool requestAnswered = false;
    int32_t blocked = 0;
    g.worker = [&](int32_t) {
        // Stands in for a request that hangs.
        std::unique_lock lock(m);
        ++blocked;
        cv.notify_all();
        cv.wait(lock, [&] { return requestAnswered; });
    };
    window.setControlText(Control::IdBox, "A\r\nB");
    onToggleClicked();
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, kPatience, [&] { return blocked == 2; }));
    }

    EXPECT_FALSE(stopMonitor(std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
    EXPECT_EQ(g.gMonitoring.load(), 0);
    EXPECT_TRUE(g.activities->closed());
    EXPECT_FALSE(g.activities->spawn([] {}));

    gate.open();  // the loop, once awake, ends without dispatching
    {
        std::lock_guard lock(m);
        requestAnswered = true;
    }
    cv.notify_all();
    EXPECT_TRUE(g.activities->waitIdle(std::chrono::steady_clock::now() + kPatience));
    EXPECT_EQ(blocked, 2);
}

}  // namespace
}  // namespace jdsm
