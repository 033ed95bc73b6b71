#pragma once
// Calls a routine periodically on a pool thread of a small timer queue of our own: the first call at
// once, then one every period (a period of 0: one call only).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace jdsm {

class TimerQueue;  // the platform layer: a thread, a condition variable and the steady clock

class IntervalTimer {
public:
    // Called with the parameter given to `start`.
    using Callback = std::function<void(int32_t parameter)>;

    IntervalTimer() = default;
    ~IntervalTimer();

    bool start(Callback callback, std::optional<int32_t> periodMs = std::nullopt, int32_t parameter = 0);
    bool stop();  // never waits for a callback that is running
    bool setPeriod(int32_t periodMs);
    int32_t period() const;

private:
    std::shared_ptr<TimerQueue> queue_;
    uint64_t timer_ = 0;
    Callback callback_;
    int32_t period_ = 0;
};

}  // namespace jdsm
