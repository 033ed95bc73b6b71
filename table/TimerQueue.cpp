#include "table/TimerQueue.h"

#include <map>
#include <new>

namespace jdsm {

namespace {

class SteadyClock final : public TimerClock {
  public:
    TimerTime now() override { return std::chrono::steady_clock::now(); }
    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                   std::optional<TimerTime> deadline) override {
        if (deadline) {
            cv.wait_until(lock, *deadline);
        } else {
            cv.wait(lock);
        }
    }
};

}  // namespace

std::shared_ptr<TimerClock> TimerClock::steady() {
    static const auto clock = std::make_shared<SteadyClock>();
    return clock;
}

// Shared between the queue object and its thread, so that the thread may outlive the object when the
// queue is destroyed from one of its own routines.
struct TimerQueue::State {
    struct Timer {
        std::shared_ptr<const Routine> routine;
        int32_t parameter = 0;
        std::chrono::milliseconds period{0};
        TimerTime due;
    };

    explicit State(std::shared_ptr<TimerClock> c) : clock(std::move(c)) {}

    void run() {
        std::unique_lock lock(mutex);
        while (!stopping) {
            auto next = timers.end();
            for (auto it = timers.begin(); it != timers.end(); ++it) {
                if (next == timers.end() || it->second.due < next->second.due) next = it;
            }
            if (next == timers.end()) {
                clock->waitUntil(lock, cv, std::nullopt);
                continue;
            }
            const TimerTime now = clock->now();
            if (now < next->second.due) {
                clock->waitUntil(lock, cv, next->second.due);
                continue;
            }
            Timer& timer = next->second;
            auto routine = timer.routine;
            const int32_t parameter = timer.parameter;
            if (timer.period.count() == 0) {
                timers.erase(next);
            } else {
                // Stay on the grid of the first due time; periods missed while a routine overran are skipped.
                timer.due += timer.period * ((now - timer.due) / timer.period + 1);
            }
            lock.unlock();
            (*routine)(parameter);
            routine.reset();  // a deleted timer's routine, with its captures, is let go of outside the lock
            lock.lock();
        }
        done = true;
    }

    std::shared_ptr<TimerClock> clock;
    mutable std::mutex mutex;
    std::condition_variable cv;
    std::map<uint64_t, Timer> timers;
    uint64_t nextId = 1;
    bool stopping = false;
    bool done = false;
};

TimerQueue::TimerQueue(std::shared_ptr<TimerClock> clock)
    : state_(std::make_shared<State>(clock ? std::move(clock) : TimerClock::steady())) {
    thread_ = std::thread([state = state_] { state->run(); });
}

TimerQueue::~TimerQueue() {
    shutdown();
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id()) {
        thread_.detach();  // destroyed by one of its own routines: the thread ends once the routine returns
    } else {
        thread_.join();
    }
}

uint64_t TimerQueue::createTimer(Routine routine, int32_t parameter, int32_t dueMs, int32_t periodMs) {
    if (!routine || dueMs < 0 || periodMs < 0) return 0;
    try {
        auto shared = std::make_shared<const Routine>(std::move(routine));
        std::lock_guard lock(state_->mutex);
        if (state_->stopping) return 0;
        const uint64_t id = state_->nextId;
        state_->timers[id] = State::Timer{std::move(shared), parameter, std::chrono::milliseconds(periodMs),
                                          state_->clock->now() + std::chrono::milliseconds(dueMs)};
        ++state_->nextId;
        state_->cv.notify_all();
        return id;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool TimerQueue::changeTimer(uint64_t timer, int32_t dueMs, int32_t periodMs) {
    if (dueMs < 0 || periodMs < 0) return false;
    std::lock_guard lock(state_->mutex);
    const auto it = state_->timers.find(timer);
    if (it == state_->timers.end()) return false;
    it->second.period = std::chrono::milliseconds(periodMs);
    it->second.due = state_->clock->now() + std::chrono::milliseconds(dueMs);
    state_->cv.notify_all();
    return true;
}

bool TimerQueue::deleteTimer(uint64_t timer) {
    std::lock_guard lock(state_->mutex);
    // A one-shot timer that has already fired is gone from the map; deleting it still succeeds.
    if (timer == 0 || timer >= state_->nextId) return false;
    state_->timers.erase(timer);
    state_->cv.notify_all();
    return true;
}

void TimerQueue::shutdown() {
    std::lock_guard lock(state_->mutex);
    state_->stopping = true;
    state_->timers.clear();
    state_->cv.notify_all();
}

bool TimerQueue::finished() const {
    std::lock_guard lock(state_->mutex);
    return state_->done;
}

}  // namespace jdsm
