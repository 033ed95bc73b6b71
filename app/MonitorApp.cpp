#include "app/MonitorApp.h"

#include "app/Monitor.h"

namespace jdsm {

MonitorRun runMonitor(const MonitorOptions& options) {
    Globals& g = globals();
    if (options.worker) g.worker = options.worker;
    if (options.passWait) g.passWait = options.passWait;

    MonitorRun run;
    run.window = std::make_unique<QtMainWindow>(
        QtMainWindow::Events{onWindowCreated, onToggleClicked, onProvinceSelected}, options.logLineCap);
    g.window = run.window.get();
    run.window->createAndShow();
    if (options.shown) options.shown(*run.window);
    run.exitCode = run.window->runMessageLoop();

    // Closing the window ends the loop, the timer and the workers before anything they use goes.
    run.window->detach();
    run.allStopped = stopMonitor(std::chrono::steady_clock::now() + options.exitGrace);
    if (run.allStopped) g.window = nullptr;
    return run;
}

}  // namespace jdsm
