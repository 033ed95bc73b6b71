// Closing the real window while workers run: the program's exit path end to end.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/MonitorApp.h"
#include "app/tests/QtApplication.h"
#include "app/tests/Waiting.h"

namespace jdsm {
namespace {

using namespace std::chrono_literals;
using test::kPatience;

// Starts monitoring the way a user does, waits until workers have run, then closes the window.
std::function<void(QtMainWindow&)> startThenCloseAfter(test::WorkerCalls& calls, int64_t workerCalls) {
    return [&calls, workerCalls](QtMainWindow& window) {
        QTimer::singleShot(0, window.widget(), [&calls, workerCalls, &window] {
            QWidget* root = window.widget();
            auto* ids = root->findChild<QPlainTextEdit*>(QStringLiteral("编辑框ID"));
            QTest::keyClicks(ids, "1");
            QTest::keyClick(ids, Qt::Key_Return);
            QTest::keyClicks(ids, "2");
            QTest::mouseClick(root->findChild<QPushButton*>(QStringLiteral("按钮1")), Qt::LeftButton);
            EXPECT_TRUE(QTest::qWaitFor([&] { return calls.total() >= workerCalls; }, 10000));
            root->close();
        });
    };
}

class Exit : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        initGlobals();
    }
    void TearDown() override {
        releaseGlobals();
        initGlobals();
    }
};

TEST_F(Exit, ClosingTheWindowStopsLoopWorkersAndTimer) {
    test::WorkerCalls calls;
    MonitorOptions options;
    options.passWait = [](std::chrono::milliseconds) { std::this_thread::sleep_for(2ms); };
    options.worker = [&calls](int32_t line) {
        WindowOps* window = globals().window;
        window->appendToEdit(Control::LogBox, "checked " + numberToText(line) + "\r\n");
        calls.record(line);
    };
    options.shown = startThenCloseAfter(calls, 20);

    MonitorRun run = runMonitor(options);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.allStopped);
    EXPECT_EQ(globals().window, nullptr);
    EXPECT_EQ(globals().gMonitoring.load(), 0);
    EXPECT_EQ(globals().activities->running(), 0);
    EXPECT_EQ(globals().gResetTimer.period(), 0);
    // Nothing can start any more: a late timer call or loop is refused.
    EXPECT_FALSE(globals().activities->spawn([] {}));
}

TEST_F(Exit, ClosingWithAWorkerBlockedInARequestEndsAtTheDeadline) {
    test::WorkerCalls calls;
    std::mutex m;
    std::condition_variable cv;
    bool answered = false;
    MonitorOptions options;
    options.exitGrace = 200ms;
    options.passWait = [](std::chrono::milliseconds) { std::this_thread::sleep_for(2ms); };
    options.worker = [&](int32_t line) {
        WindowOps* window = globals().window;
        calls.record(line);
        if (line == 1) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return answered; });
        }
        // After exit gave up on it, a worker still writes and reads: the detached window swallows it.
        for (int i = 0; i < 50; ++i) {
            window->appendToEdit(Control::LogBox, "late line\r\n");
            (void)window->controlText(Control::IdBox);
        }
    };
    options.shown = startThenCloseAfter(calls, 10);

    const auto begin = std::chrono::steady_clock::now();
    MonitorRun run = runMonitor(options);
    const auto closedAfter = std::chrono::steady_clock::now() - begin;
    EXPECT_FALSE(run.allStopped);
    EXPECT_LT(closedAfter, kPatience);
    ASSERT_NE(run.window, nullptr);
    EXPECT_EQ(run.window->widget(), nullptr);  // the widgets are gone, the object stays for the workers
    EXPECT_EQ(run.window->controlText(Control::IdBox), "1\r\n2");

    {
        std::lock_guard lock(m);
        answered = true;
    }
    cv.notify_all();
    EXPECT_TRUE(globals().activities->waitIdle(std::chrono::steady_clock::now() + kPatience));
    run.window.reset();
}

}  // namespace
}  // namespace jdsm
