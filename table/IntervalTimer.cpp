#include "table/IntervalTimer.h"

#include <algorithm>
#include <system_error>

namespace jdsm {

namespace {
constexpr int32_t kDefaultPeriodMs = 1000;
}

IntervalTimer::IntervalTimer(std::shared_ptr<TimerClock> clock)
    : clock_(clock ? std::move(clock) : TimerClock::steady()) {}

// Unlike a bare platform timer, destruction stops the timer: a callback left running after its timer
// object is gone would call into state that no one owns any more.
IntervalTimer::~IntervalTimer() {
    stopAndWait();
}

bool IntervalTimer::start(Callback callback, std::optional<int32_t> periodMs, int32_t parameter) {
    const int32_t period = periodMs.value_or(kDefaultPeriodMs);
    if (!callback || period < 0) return false;
    if (queue_ || timer_) stop();
    callback_ = std::move(callback);
    try {
        queue_ = std::make_unique<TimerQueue>(clock_);
    } catch (const std::system_error&) {
        return false;  // no thread for the queue: the timer stays stopped
    }
    timer_ = queue_->createTimer(callback_, parameter, 0, period);
    if (!timer_) {
        stop();
        return false;
    }
    period_ = period;
    return true;
}

bool IntervalTimer::stop() {
    dropFinishedQueues();
    if (!queue_ || !timer_) {
        // A queue without a timer (its creation failed) is still let go of.
        if (queue_) {
            queue_->shutdown();
            retired_.push_back(std::move(queue_));
        }
        period_ = 0;
        return true;
    }
    const bool deleted = queue_->deleteTimer(timer_);
    queue_->shutdown();
    retired_.push_back(std::move(queue_));
    timer_ = 0;
    period_ = 0;
    return deleted;
}

bool IntervalTimer::setPeriod(int32_t periodMs) {
    if (period_ == 0 && periodMs > 0 && callback_) return start(callback_, periodMs, 0);
    if (periodMs == period_) return true;
    if (periodMs == 0) return stop();
    if (periodMs < 0 || !queue_ || !timer_) return false;
    if (!queue_->changeTimer(timer_, 0, periodMs)) return false;
    period_ = periodMs;
    return true;
}

int32_t IntervalTimer::period() const {
    return period_;
}

void IntervalTimer::stopAndWait() {
    stop();
    retired_.clear();  // each queue's destructor waits for its thread
}

void IntervalTimer::dropFinishedQueues() {
    std::erase_if(retired_, [](const std::unique_ptr<TimerQueue>& q) { return q->finished(); });
}

}  // namespace jdsm
