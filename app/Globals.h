#pragma once
// The monitor's program-wide state, gathered in one object so that start-up creates it in one step
// and a test can create it fresh: the globals of the window and the loop, the memory of announced
// products, and what the handlers talk to (the window, the worker routine, the thread registry).

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "app/ActivityRegistry.h"
#include "app/WindowOps.h"
#include "table/IntervalTimer.h"
#include "table/KeyedTable.h"
#include "text/Text.h"

namespace jdsm {

// A text that one thread replaces while others read it. Readers take their own copy under the lock,
// so a replacement never frees text that another thread is still reading.
class SharedText {
  public:
    Text load() const;
    void store(Text text);

  private:
    mutable std::mutex lock_;
    Text text_;
};

// The routine a worker thread runs for one line of the ID box (1-based line number).
using WorkerRoutine = std::function<void(int32_t lineNumber)>;
// The loop's wait between two passes; tests swap in one that does not sleep.
using PassWait = std::function<void(std::chrono::milliseconds)>;

struct Globals {
    // 1 while monitoring runs; one word, only ever loaded and stored whole.
    std::atomic<int32_t> gMonitoring{0};
    SharedText gAreaCode;      // area code of the province picked last; empty until the user picks one
    SharedText gClientCookie;  // cookie of the affiliate requests
    // Window thread only.
    TextList ProvinceNames;
    TextList AreaCodes;  // parallel to ProvinceNames

    // Announcement memory: product IDs announced since the last reset. Every get, set and clear on
    // gNotified holds announcementLock, and that lock is held for nothing else.
    KeyedTable gNotified;
    IntervalTimer gResetTimer;
    std::mutex announcementLock;

    WindowOps* window = nullptr;
    WorkerRoutine worker = [](int32_t) {};  // until the product check exists a worker does nothing
    PassWait passWait;                      // empty: the steady clock, cut short by a toggle or by exit
    std::shared_ptr<ActivityRegistry> activities = ActivityRegistry::make();

    // Each start and each pause draws a new start number under toggleLock; a loop dispatches only while
    // gMonitoring is 1 and the start number it was given is still the latest.
    std::mutex toggleLock;
    std::condition_variable toggled;
    std::atomic<uint64_t> startCount{0};
};

// The current globals. initGlobals replaces them with fresh ones.
Globals& globals();

// Creates the globals with their values at start (a previous set, if any, is destroyed: nothing may
// still run against it).
void initGlobals();
// Releases what the globals hold: the texts, the announcement table, the province arrays, the timer.
// Safe while a worker that exit gave up on still runs.
void releaseGlobals();

// The built-in province table: UTF-8 province names and their area codes, in list order.
struct ProvinceRow {
    std::string_view name;
    std::string_view areaCode;
};
extern const std::array<ProvinceRow, 31> kProvinceTable;

// The fixed client cookie of the affiliate requests.
inline constexpr std::string_view kFixedClientCookie =
    "client_type=android;app_id=161;login_mode=2;jxjpin=jd_WbQnKqZRtXsa;"
    "tgt=Zr8kWq3Lm_Tf2Hc9Vy5Pn_Bd4Gx7Jw1Ks6Qe0Ua_Ri3Yo8Ct2Mv5Nh9Fz_Lb4Xp7Dg1Sj6Ew0Ka_Tq3Hy8Rc2Pm5Vn9Wf_Ub;"
    "qwd_chn=99;qwd_schn=1";

// The button's captions in code page 936: 开始监控 (stopped) and 暂停监控 (running).
const Text& captionStart();
const Text& captionPause();

}  // namespace jdsm
