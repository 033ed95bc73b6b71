#include "app/Monitor.h"

#include "text/CodePage.h"

namespace jdsm {

using namespace std::chrono_literals;

void onWindowCreated() {
    Globals& g = globals();
    TextList names, codes;
    for (const ProvinceRow& row : kProvinceTable) {
        names.emplace_back(codepage::utf8ToLocalString(row.name));
        codes.emplace_back(row.areaCode);
    }
    g.ProvinceNames = std::move(names);
    g.AreaCodes = std::move(codes);

    for (const Text& name : g.ProvinceNames)
        g.window->addListItem(Control::ProvinceBox, name);
    g.window->setCurrentSelection(Control::ProvinceBox, 0);
    setUpAnnouncementMemory();
    g.gClientCookie.store(Text(kFixedClientCookie));
    g.window->setControlText(Control::MainWindow, g.window->executableFileName());
}

void onProvinceSelected() {
    Globals& g = globals();
    for (size_t i = 0; i < g.ProvinceNames.size(); ++i) {
        if (g.window->controlText(Control::ProvinceBox) == g.ProvinceNames[i]) {
            g.gAreaCode.store(g.AreaCodes[i]);
            return;
        }
    }
}

void onToggleClicked() {
    Globals& g = globals();
    if (g.window->controlText(Control::ToggleButton) == captionStart()) {
        uint64_t startNumber;
        {
            std::lock_guard lock(g.toggleLock);
            startNumber = g.startCount.load() + 1;
            g.startCount.store(startNumber);
        }
        g.toggled.notify_all();  // a loop still asleep from an earlier start ends now
        // A thread that cannot be started goes unreported; the caption changes all the same.
        g.activities->spawn([startNumber] { monitorLoop(startNumber); });
        g.window->setControlText(Control::ToggleButton, captionPause());
    } else {
        g.window->setControlText(Control::ToggleButton, captionStart());
        {
            std::lock_guard lock(g.toggleLock);
            g.gMonitoring.store(0);
            g.startCount.store(g.startCount.load() + 1);
        }
        g.toggled.notify_all();
    }
}

void monitorLoop(uint64_t startNumber) {
    Globals& g = globals();
    {
        // Under the toggle lock so that a pause clicked before this thread got here wins.
        std::lock_guard lock(g.toggleLock);
        if (g.startCount.load() != startNumber) return;
        g.gMonitoring.store(1);
    }
    const auto lineCount = static_cast<int32_t>(split(g.window->controlText(Control::IdBox), "\r\n").size());
    const auto current = [&] { return g.gMonitoring.load() == 1 && g.startCount.load() == startNumber; };
    while (current()) {
        for (int32_t line = 1; line <= lineCount && current(); ++line) {
            // A worker that cannot be started leaves its line unchecked in this pass.
            g.activities->spawn([worker = g.worker, line] { worker(line); });
        }
        if (g.passWait) {
            g.passWait(1000ms);
        } else {
            std::unique_lock lock(g.toggleLock);
            g.toggled.wait_for(lock, 1000ms, [&] { return g.startCount.load() != startNumber; });
        }
    }
}

bool stopMonitor(std::chrono::steady_clock::time_point deadline) {
    Globals& g = globals();
    {
        std::lock_guard lock(g.toggleLock);
        g.gMonitoring.store(0);
        g.startCount.store(g.startCount.load() + 1);
    }
    g.toggled.notify_all();
    g.gResetTimer.stop();
    g.activities->close();
    return g.activities->waitIdle(deadline);
}

}  // namespace jdsm
