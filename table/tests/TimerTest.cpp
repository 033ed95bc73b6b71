#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>

#include "table/IntervalTimer.h"
#include "table/KeyedTable.h"
#include "table/TimerQueue.h"

namespace jdsm {
namespace {

using namespace std::chrono_literals;
constexpr auto kPatience = 10s;  // generous upper bound for anything that should happen promptly

// A clock that moves only when the test says so. The queue thread polls it briefly instead of sleeping
// until a deadline, and reports each time it goes back to sleep: the time it saw and the deadline it
// waits for. That lets a test prove that nothing fired at a given time without sleeping itself.
class ManualClock final : public TimerClock {
  public:
    TimerTime now() override {
        std::lock_guard lock(mutex_);
        lastRead() = now_;
        return now_;
    }

    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::optional<TimerTime> deadline) override {
        {
            std::lock_guard own(mutex_);
            // A sleep with a deadline was decided on the time the queue read last; one without depends on
            // no time at all.
            sleep_ = Sleep{deadline ? lastRead() : now_, deadline};
            changed_.notify_all();
        }
        cv.wait_for(lock, 1ms);
    }

    void advance(std::chrono::milliseconds d) {
        std::lock_guard lock(mutex_);
        now_ += d;
    }

    TimerTime start() const { return TimerTime{}; }

    // Waits until the queue has gone to sleep at the current time until `deadline`, with `ready` true.
    [[nodiscard]] bool settled(std::optional<TimerTime> deadline, const std::function<bool()>& ready) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] {
            return sleep_ && sleep_->seenAt == now_ && sleep_->deadline == deadline && ready();
        });
    }

  private:
    static TimerTime& lastRead() {
        thread_local TimerTime value;
        return value;
    }

    struct Sleep {
        TimerTime seenAt;
        std::optional<TimerTime> deadline;
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    TimerTime now_{};
    std::optional<Sleep> sleep_;
};

// Counts calls and remembers the last parameter and calling thread.
struct Recorder {
    std::atomic<int> calls{0};
    std::atomic<int32_t> parameter{-1};
    std::mutex mutex;
    std::condition_variable cv;
    std::thread::id thread;

    IntervalTimer::Callback callback() {
        return [this](int32_t p) {
            std::lock_guard lock(mutex);
            parameter = p;
            thread = std::this_thread::get_id();
            ++calls;
            cv.notify_all();
        };
    }
    [[nodiscard]] bool reaches(int n) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, kPatience, [&] { return calls >= n; });
    }
    std::function<bool()> is(int n) {
        return [this, n] { return calls == n; };
    }
};

class TimerWithManualClock : public testing::Test {
  protected:
    std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
    TimerTime t0 = clock->start();
    Recorder rec;
    IntervalTimer timer{clock};
};

TEST_F(TimerWithManualClock, FirstCallAtOnceThenEveryPeriod) {
    ASSERT_TRUE(timer.start(rec.callback(), 1000, 7));
    EXPECT_EQ(timer.period(), 1000);
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));
    EXPECT_EQ(rec.parameter, 7);
    clock->advance(999ms);
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));
    clock->advance(1ms);
    ASSERT_TRUE(clock->settled(t0 + 2000ms, rec.is(2)));
    clock->advance(1000ms);
    ASSERT_TRUE(clock->settled(t0 + 3000ms, rec.is(3)));
}

TEST_F(TimerWithManualClock, PeriodDefaultsTo1000AndZeroCallsOnce) {
    ASSERT_TRUE(timer.start(rec.callback()));
    EXPECT_EQ(timer.period(), 1000);
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));

    Recorder once;
    ASSERT_TRUE(timer.start(once.callback(), 0));
    EXPECT_EQ(timer.period(), 0);
    ASSERT_TRUE(clock->settled(std::nullopt, once.is(1)));
    clock->advance(5000ms);
    ASSERT_TRUE(clock->settled(std::nullopt, once.is(1)));
    EXPECT_TRUE(timer.stop());
}

TEST_F(TimerWithManualClock, MissedPeriodsAreSkippedNotMadeUp) {
    ASSERT_TRUE(timer.start(rec.callback(), 100));
    ASSERT_TRUE(clock->settled(t0 + 100ms, rec.is(1)));
    clock->advance(350ms);
    ASSERT_TRUE(clock->settled(t0 + 400ms, rec.is(2)));
}

TEST_F(TimerWithManualClock, RestartReplacesTheRunningTimer) {
    Recorder first;
    ASSERT_TRUE(timer.start(first.callback(), 1000));
    ASSERT_TRUE(clock->settled(t0 + 1000ms, first.is(1)));
    ASSERT_TRUE(timer.start(rec.callback(), 1000, 3));
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));
    clock->advance(1000ms);
    ASSERT_TRUE(clock->settled(t0 + 2000ms, rec.is(2)));
    timer.stopAndWait();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(rec.parameter, 3);
}

TEST_F(TimerWithManualClock, StopWhenStoppedReturnsTrueAndStopEndsTheCalls) {
    EXPECT_TRUE(timer.stop());
    EXPECT_TRUE(timer.stop());
    ASSERT_TRUE(timer.start(rec.callback(), 1000));
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));
    EXPECT_TRUE(timer.stop());
    EXPECT_EQ(timer.period(), 0);
    EXPECT_TRUE(timer.stop());
    clock->advance(5000ms);
    timer.stopAndWait();  // the queue thread is gone: nothing can fire any more
    EXPECT_EQ(rec.calls, 1);
}

TEST_F(TimerWithManualClock, SetPeriodInItsOrderOfTests) {
    EXPECT_FALSE(timer.setPeriod(500));  // no callback known yet
    EXPECT_EQ(timer.period(), 0);

    ASSERT_TRUE(timer.start(rec.callback(), 1000, 7));
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));
    EXPECT_TRUE(timer.setPeriod(1000));  // the current period changes nothing
    ASSERT_TRUE(clock->settled(t0 + 1000ms, rec.is(1)));
    EXPECT_FALSE(timer.setPeriod(-5));
    EXPECT_EQ(timer.period(), 1000);

    clock->advance(300ms);
    EXPECT_TRUE(timer.setPeriod(250));  // a call at once, then every 250 ms from now
    EXPECT_EQ(timer.period(), 250);
    ASSERT_TRUE(clock->settled(t0 + 550ms, rec.is(2)));
    EXPECT_EQ(rec.parameter, 7);

    EXPECT_TRUE(timer.setPeriod(0));
    EXPECT_EQ(timer.period(), 0);

    EXPECT_TRUE(timer.setPeriod(500));  // restarts with the remembered callback and parameter 0
    EXPECT_EQ(timer.period(), 500);
    ASSERT_TRUE(clock->settled(t0 + 800ms, rec.is(3)));
    EXPECT_EQ(rec.parameter, 0);
}

TEST(IntervalTimer, RefusesAnEmptyCallbackAndANegativePeriod) {
    IntervalTimer timer;
    Recorder rec;
    EXPECT_FALSE(timer.start(nullptr, 10));
    EXPECT_FALSE(timer.start(rec.callback(), -1));
    EXPECT_EQ(timer.period(), 0);
    EXPECT_FALSE(timer.setPeriod(10));
}

TEST(IntervalTimer, RunsOnTheRealClockOffTheCallersThread) {
    Recorder rec;
    IntervalTimer timer;
    ASSERT_TRUE(timer.start(rec.callback(), 2, 5));
    ASSERT_TRUE(rec.reaches(5));
    EXPECT_TRUE(timer.stop());
    timer.stopAndWait();
    const int calls = rec.calls;
    EXPECT_NE(rec.thread, std::this_thread::get_id());
    EXPECT_EQ(rec.parameter, 5);
    ASSERT_TRUE(timer.start(rec.callback(), 60000));
    ASSERT_TRUE(rec.reaches(calls + 1));  // a long period still calls at once
}

TEST(IntervalTimer, StopDoesNotWaitButDestructionDoes) {
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> returned{false};
    std::atomic<int> calls{0};
    auto timer = std::make_unique<IntervalTimer>();
    ASSERT_TRUE(timer->start(
        [&](int32_t) {
            if (calls++ > 0) return;
            entered.set_value();
            released.wait();
            returned = true;
        },
        1));
    entered.get_future().wait();

    auto stopped = std::async(std::launch::async, [&] { return timer->stop(); });
    ASSERT_EQ(stopped.wait_for(kPatience), std::future_status::ready) << "stop waited for the callback";
    EXPECT_TRUE(stopped.get());
    EXPECT_FALSE(returned);

    release.set_value();
    timer.reset();
    EXPECT_TRUE(returned) << "the timer was destroyed while its callback still ran";
    EXPECT_EQ(calls, 1);
}

TEST(IntervalTimer, ClearsAnnouncementsWhileWorkersMarkThem) {
    KeyedTable notified;
    ASSERT_TRUE(notified.create(10, 3));
    std::mutex lock;
    Recorder clears;
    IntervalTimer timer;
    auto onReset = clears.callback();
    ASSERT_TRUE(timer.start(
        [&](int32_t p) {
            {
                std::lock_guard guard(lock);
                notified.clear();
            }
            onReset(p);
        },
        1));
    std::vector<std::thread> workers;
    for (int w = 0; w < 3; ++w) {
        workers.emplace_back([&, w] {
            for (int n = 0; n < 300; ++n) {
                const Text id = Text(std::to_string(w * 1000 + n % 10));
                std::lock_guard guard(lock);
                if (notified.get(id).isZero()) notified.set(id, 1);
            }
        });
    }
    for (auto& t : workers)
        t.join();
    const int before = clears.calls;
    ASSERT_TRUE(clears.reaches(before + 1));
    timer.stopAndWait();
    std::lock_guard guard(lock);
    EXPECT_LE(notified.count(), 30);
    EXPECT_EQ(notified.bucketCount() >= 11, true);
}

TEST(TimerQueue, TimersOfOneQueueFireInDueOrder) {
    auto clock = std::make_shared<ManualClock>();
    const TimerTime t0 = clock->start();
    std::mutex mutex;
    std::vector<int32_t> order;
    auto record = [&](int32_t p) {
        std::lock_guard lock(mutex);
        order.push_back(p);
    };
    auto fired = [&](size_t n) {
        return [&, n] {
            std::lock_guard lock(mutex);
            return order.size() == n;
        };
    };
    TimerQueue queue(clock);
    const uint64_t slow = queue.createTimer(record, 1, 300, 0);
    const uint64_t fast = queue.createTimer(record, 2, 100, 100);
    ASSERT_NE(slow, 0u);
    ASSERT_NE(fast, slow);
    ASSERT_TRUE(clock->settled(t0 + 100ms, fired(0)));
    clock->advance(300ms);
    ASSERT_TRUE(clock->settled(t0 + 400ms, fired(2)));
    EXPECT_TRUE(queue.changeTimer(fast, 50, 200));
    EXPECT_FALSE(queue.changeTimer(slow, 0, 0));  // the one-shot is done
    ASSERT_TRUE(clock->settled(t0 + 350ms, fired(2)));
    EXPECT_TRUE(queue.deleteTimer(fast));
    EXPECT_FALSE(queue.deleteTimer(99));
    ASSERT_TRUE(clock->settled(std::nullopt, fired(2)));
    EXPECT_EQ(queue.createTimer(record, 0, -1, 0), 0u);
    EXPECT_EQ(queue.createTimer(nullptr, 0, 0, 0), 0u);
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int32_t>{2, 1}));
}

TEST(TimerQueue, DestroyedFromItsOwnRoutine) {
    auto queue = std::make_unique<TimerQueue>();
    // Held by the routine itself: the detached thread may still be finishing after the test returns.
    auto done = std::make_shared<std::promise<void>>();
    auto finished = done->get_future();
    queue->createTimer(
        [&queue, done](int32_t) {
            queue.reset();
            done->set_value();
        },
        0, 0, 0);
    ASSERT_EQ(finished.wait_for(kPatience), std::future_status::ready);
}

}  // namespace
}  // namespace jdsm
