#include "table/IntervalTimer.h"

#include <exception>
#include <new>

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
        timer_ = queue_->createTimer(callback_, parameter, 0, period);
    } catch (const std::exception&) {
        // No thread or no memory for the queue: reported as a timer that did not start.
    }
    if (!timer_) {
        stop();
        return false;
    }
    period_ = period;
    return true;
}

bool IntervalTimer::stop() {
    std::erase_if(retired_, [](const std::unique_ptr<TimerQueue>& q) { return q->finished(); });
    const bool result = queue_ && timer_ ? queue_->deleteTimer(timer_) : true;
    if (queue_) {
        queue_->shutdown();
        try {
            retired_.push_back(std::move(queue_));
        } catch (const std::bad_alloc&) {
            queue_.reset();  // nowhere to keep it: let go of it at once, waiting for its callback
        }
    }
    timer_ = 0;
    period_ = 0;
    return result;
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

}  // namespace jdsm
