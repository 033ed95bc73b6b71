#pragma once
// The monitor's handlers, its loop and its memory of announced products. All of them work on
// globals() and reach the window only through globals().window.

#include <chrono>
#include <cstdint>

#include "app/Globals.h"
#include "text/Text.h"

namespace jdsm {

// --- window handlers (window thread) --------------------------------------------------------------

// Fills the province list, selects its first item, sets up the announcement memory, stores the client
// cookie and captions the window with the executable's file name.
void onWindowCreated();
// Stores the area code of the province the user picked.
void onProvinceSelected();
// The button's caption decides: "start" starts a new monitoring loop, anything else pauses.
void onToggleClicked();

// --- monitoring loop (its own thread) --------------------------------------------------------------

// Counts the lines of the ID box once, then once a second starts one worker per line while
// monitoring runs. `startNumber` is the start number onToggleClicked drew for this loop: a loop whose
// number is no longer the latest (a pause or a newer start came first) never dispatches.
void monitorLoop(uint64_t startNumber);

// --- announcement memory ----------------------------------------------------------------------------

// Creates gNotified and starts gResetTimer (every 60000 ms, the first call at once).
void setUpAnnouncementMemory();
// The reset timer's callback: forgets every announcement.
void onResetTimer();
// A product counts as announced while its value in gNotified is not zero.
bool isAnnounced(const Text& productId);
void markAnnounced(const Text& productId);

// --- exit -------------------------------------------------------------------------------------------

// Ends monitoring, stops the reset timer, refuses new threads and waits until the loops, workers and
// timer callbacks have ended or the deadline has passed. True when nothing runs any more; false
// leaves the stragglers running, and the caller must then keep everything they use alive.
bool stopMonitor(std::chrono::steady_clock::time_point deadline);

}  // namespace jdsm
