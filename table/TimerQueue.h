#pragma once
// A small timer-queue service: each queue has one thread of its own that sleeps on a condition variable
// until its earliest timer is due and then calls the timer's routine. Routines therefore never run on the
// thread that creates, changes or deletes timers. Deleting a timer or shutting a queue down never waits
// for a routine that is running; only destroying the queue does (unless it is destroyed from one of its
// own routines, in which case the thread finishes on its own).
//
// Routines of one queue run one at a time: a routine that overruns its period delays the next call, and
// the periods it missed are skipped rather than made up in a burst.
//
// The clock is injectable so that tests can step time instead of sleeping.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace jdsm {

using TimerTime = std::chrono::steady_clock::time_point;

class TimerClock {
  public:
    virtual ~TimerClock() = default;
    virtual TimerTime now() = 0;
    // Blocks on `cv` (whose mutex `lock` holds) until it is notified or `deadline`, read on this clock, has
    // passed; no deadline means until notified. May return early: the caller checks again.
    virtual void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                           std::optional<TimerTime> deadline) = 0;

    // The steady clock, shared.
    static std::shared_ptr<TimerClock> steady();
};

class TimerQueue {
  public:
    using Routine = std::function<void(int32_t parameter)>;

    // Starts the queue's thread; throws std::system_error when no thread can be made.
    explicit TimerQueue(std::shared_ptr<TimerClock> clock = TimerClock::steady());
    ~TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    // Calls `routine(parameter)` first after `dueMs`, then every `periodMs` (0: once only). Returns the
    // timer's id, or 0 when refused (negative times, no routine, queue shut down).
    uint64_t createTimer(Routine routine, int32_t parameter, int32_t dueMs, int32_t periodMs);
    // Next call after `dueMs`, then every `periodMs`. False for an unknown (or finished one-shot) timer.
    bool changeTimer(uint64_t timer, int32_t dueMs, int32_t periodMs);
    // No further call begins once this returns, apart from one already handed to the routine; never waits.
    bool deleteTimer(uint64_t timer);
    // Deletes every timer and lets the thread end after a routine that is running; never waits.
    void shutdown();
    // True once the thread has nothing left to run and has ended (or is about to).
    bool finished() const;

  private:
    struct State;
    std::shared_ptr<State> state_;
    std::thread thread_;
};

}  // namespace jdsm
