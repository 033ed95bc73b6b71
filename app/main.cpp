#include <QApplication>
#include <cstdlib>

#include "app/Globals.h"
#include "app/MonitorApp.h"
#include "app/ProductCheck.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    jdsm::initGlobals();
    std::atexit(jdsm::releaseGlobals);
    std::at_quick_exit(jdsm::releaseGlobals);

    jdsm::MonitorOptions options;
    options.worker = jdsm::checkProduct;
    jdsm::MonitorRun run = jdsm::runMonitor(options);
    if (!run.allStopped) {
        // A worker is still blocked (in a request, say). Ending without running destructors keeps
        // everything it may reach alive until the process is gone, and the program still ends at once.
        std::quick_exit(run.exitCode);
    }
    return run.exitCode;
}
