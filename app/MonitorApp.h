#pragma once
// The program around the window: creates the main window on the current QApplication, wires its
// events to the handlers, runs the message loop and stops monitoring before returning.

#include <chrono>
#include <functional>
#include <memory>

#include "app/Globals.h"
#include "app/QtMainWindow.h"

namespace jdsm {

struct MonitorOptions {
    WorkerRoutine worker;  // empty: keep the globals' worker
    PassWait passWait;     // empty: keep the globals' wait
    int32_t logLineCap = QtMainWindow::kDefaultLogLineCap;
    // How long exit waits for loops, workers and the timer callback before giving up on them.
    std::chrono::milliseconds exitGrace{1500};
    // Called once the window is shown, before the message loop (tests drive the window from here).
    std::function<void(QtMainWindow&)> shown;
};

struct MonitorRun {
    int exitCode = 0;
    // False when some worker was still running at the deadline. Everything it may reach (the
    // globals, `window`) must then stay alive: the program ends without destroying anything.
    bool allStopped = true;
    std::unique_ptr<QtMainWindow> window;  // detached: its widgets are gone
};

// Expects initGlobals to have run and a QApplication to exist on this thread.
MonitorRun runMonitor(const MonitorOptions& options = {});

}  // namespace jdsm
