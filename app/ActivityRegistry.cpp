#include "app/ActivityRegistry.h"

#include <system_error>
#include <thread>

namespace jdsm {

bool ActivityRegistry::spawn(std::function<void()> routine) {
    if (!enter()) return false;
    try {
        std::thread([self = shared_from_this(), routine = std::move(routine)] {
            routine();
            self->leave();
        }).detach();
        return true;
    } catch (const std::system_error&) {
        leave();
        return false;
    }
}

bool ActivityRegistry::enter() {
    std::lock_guard lock(lock_);
    if (closed_) return false;
    ++running_;
    return true;
}

void ActivityRegistry::leave() {
    std::lock_guard lock(lock_);
    if (--running_ == 0) idle_.notify_all();
}

void ActivityRegistry::close() {
    std::lock_guard lock(lock_);
    closed_ = true;
}

bool ActivityRegistry::closed() const {
    std::lock_guard lock(lock_);
    return closed_;
}

bool ActivityRegistry::waitIdle(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(lock_);
    return idle_.wait_until(lock, deadline, [this] { return running_ == 0; });
}

int32_t ActivityRegistry::running() const {
    std::lock_guard lock(lock_);
    return running_;
}

}  // namespace jdsm
