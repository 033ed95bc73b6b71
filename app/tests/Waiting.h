#pragma once
// Test helpers for the monitor's threads: a gate that holds the loop between passes until the test
// lets it go, and a recorder of worker calls. Both wait on conditions, never on the clock alone.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace jdsm::test {

using namespace std::chrono_literals;
inline constexpr auto kPatience = 10s;  // only ever reached when a test fails

// Stands in for the loop's one-second wait: each wait counts a finished pass and blocks until the test
// releases it (or opens the gate for good).
class PassGate {
  public:
    void wait() {
        std::unique_lock lock(lock_);
        const int64_t mine = ++passes_;
        changed_.notify_all();
        changed_.wait(lock, [&] { return open_ || released_ >= mine; });
    }
    // Waits until `n` passes have reached their wait.
    bool awaitPasses(int64_t n) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, kPatience, [&] { return passes_ >= n; });
    }
    void release(int64_t n) {
        std::lock_guard lock(lock_);
        released_ += n;
        changed_.notify_all();
    }
    void open() {
        std::lock_guard lock(lock_);
        open_ = true;
        changed_.notify_all();
    }
    int64_t passes() {
        std::lock_guard lock(lock_);
        return passes_;
    }
    std::function<void(std::chrono::milliseconds)> asPassWait() {
        return [this](std::chrono::milliseconds) { wait(); };
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    int64_t passes_ = 0;
    int64_t released_ = 0;
    bool open_ = false;
};

// Counts worker calls per line number.
class WorkerCalls {
  public:
    void record(int32_t line) {
        std::lock_guard lock(lock_);
        ++perLine_[line];
        ++total_;
        changed_.notify_all();
    }
    bool awaitTotal(int64_t n) {
        std::unique_lock lock(lock_);
        return changed_.wait_for(lock, kPatience, [&] { return total_ >= n; });
    }
    std::map<int32_t, int64_t> perLine() {
        std::lock_guard lock(lock_);
        return perLine_;
    }
    int64_t total() {
        std::lock_guard lock(lock_);
        return total_;
    }
    std::function<void(int32_t)> asWorker() {
        return [this](int32_t line) { record(line); };
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::map<int32_t, int64_t> perLine_;
    int64_t total_ = 0;
};

}  // namespace jdsm::test
