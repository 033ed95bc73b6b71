#include "app/Monitor.h"

namespace jdsm {

void setUpAnnouncementMemory() {
    Globals& g = globals();
    {
        std::lock_guard lock(g.announcementLock);
        g.gNotified.create(10, 3);
    }
    // The callback checks in with the thread registry so that exit can wait for a clear in progress;
    // once exit has closed the registry a late call touches nothing but the registry it keeps alive.
    g.gResetTimer.start(
        [activities = g.activities](int32_t) {
            ActivityScope scope(*activities);
            if (scope) onResetTimer();
        },
        60000);
}

void onResetTimer() {
    Globals& g = globals();
    std::lock_guard lock(g.announcementLock);
    g.gNotified.clear();
}

bool isAnnounced(const Text& productId) {
    Globals& g = globals();
    std::lock_guard lock(g.announcementLock);
    return !g.gNotified.get(productId).isZero();
}

void markAnnounced(const Text& productId) {
    Globals& g = globals();
    std::lock_guard lock(g.announcementLock);
    g.gNotified.set(productId, 1);
}

}  // namespace jdsm
