#pragma once
// Calls a routine periodically on a thread of a small timer queue of our own: the first call at once,
// then one every period (a period of 0: one call only). `start`, `stop` and `setPeriod` are meant for
// one thread; the callback runs on another.
//
// Destroying a running timer stops it and waits for a callback that is still running (unless it is
// destroyed from that callback), so that no call reaches state its owner frees after the timer. `stop`
// alone never waits.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "table/TimerQueue.h"

namespace jdsm {

class IntervalTimer {
  public:
    // Called with the parameter given to `start`.
    using Callback = std::function<void(int32_t parameter)>;

    IntervalTimer() = default;
    // Time is read from `clock` (tests step a manual one).
    explicit IntervalTimer(std::shared_ptr<TimerClock> clock);
    ~IntervalTimer();
    // A copy would share the running timer with no owner to stop it; the program never copies one.
    IntervalTimer(const IntervalTimer&) = delete;
    IntervalTimer& operator=(const IntervalTimer&) = delete;

    // (Re)starts: stops a running timer, then calls `callback(parameter)` at once and every period (1000 ms
    // when omitted). Refused (false, nothing changed) for an empty callback or a negative period. When no
    // queue thread can be made it returns false and the timer stays stopped, callback remembered.
    bool start(Callback callback, std::optional<int32_t> periodMs = std::nullopt, int32_t parameter = 0);
    // True when there was nothing to stop. Never waits for a callback that is running.
    bool stop();
    // A positive period restarts a stopped timer that has a callback (parameter 0); the current period
    // changes nothing; 0 stops; another period takes effect with a call at once. A negative period, or a
    // positive one with nothing running and no callback, is refused with false.
    bool setPeriod(int32_t periodMs);
    // The current period; 0 when stopped.
    int32_t period() const;

    // Stops, then waits until no callback of this timer is running. Must not be called from the callback.
    void stopAndWait();

  private:
    std::shared_ptr<TimerClock> clock_ = TimerClock::steady();
    std::unique_ptr<TimerQueue> queue_;
    // Queues of earlier starts whose last callback may still be running; destroying one waits for it.
    std::vector<std::unique_ptr<TimerQueue>> retired_;
    uint64_t timer_ = 0;
    Callback callback_;
    int32_t period_ = 0;
};

}  // namespace jdsm
