#pragma once
// Keeps count of the threads the monitor starts (loops, workers) and of the timer callbacks it runs,
// so that exit can stop new ones and wait, up to a deadline, for the running ones to end before
// anything they use is released.
//
// Threads are detached: nothing joins a worker, and a worker blocked in a request must not hold up
// exit for longer than the deadline. Each thread holds a shared reference to the registry, so its
// final check-out never touches freed memory, whether or not exit waited for it.
//
// This is also the one place that starts threads; a later bounded pool can take its place.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace jdsm {

class ActivityRegistry : public std::enable_shared_from_this<ActivityRegistry> {
  public:
    static std::shared_ptr<ActivityRegistry> make() {
        return std::shared_ptr<ActivityRegistry>(new ActivityRegistry);
    }

    // Runs the routine on a new detached thread. False, without running it, once the registry is
    // closed or when the thread cannot be started.
    bool spawn(std::function<void()> routine);

    // For work on a thread the registry did not start (a timer callback): false once closed.
    bool enter();
    void leave();

    // From now on spawn and enter refuse.
    void close();
    bool closed() const;

    // Waits until nothing runs or the deadline passes; true when nothing runs.
    bool waitIdle(std::chrono::steady_clock::time_point deadline);
    int32_t running() const;

  private:
    ActivityRegistry() = default;

    mutable std::mutex lock_;
    std::condition_variable idle_;
    int32_t running_ = 0;
    bool closed_ = false;
};

// Checks in for the lifetime of a scope; test with operator bool whether the check-in succeeded.
class ActivityScope {
  public:
    explicit ActivityScope(ActivityRegistry& registry) : registry_(registry), entered_(registry.enter()) {}
    ~ActivityScope() {
        if (entered_) registry_.leave();
    }
    ActivityScope(const ActivityScope&) = delete;
    ActivityScope& operator=(const ActivityScope&) = delete;
    explicit operator bool() const { return entered_; }

  private:
    ActivityRegistry& registry_;
    bool entered_;
};

}  // namespace jdsm
