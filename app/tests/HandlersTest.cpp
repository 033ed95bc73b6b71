// The window handlers and the announcement memory against a fake window.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/tests/FakeWindow.h"
#include "app/tests/Waiting.h"
#include "text/CodePage.h"

namespace jdsm {
namespace {

using test::FakeWindow;

Text local(std::string_view utf8) {
    return Text(codepage::utf8ToLocalString(utf8));
}

class Handlers : public ::testing::Test {
  protected:
    void SetUp() override {
        initGlobals();
        globals().window = &window;
        globals().passWait = gate.asPassWait();
        window.setControlText(Control::ToggleButton, captionStart());
    }
    void TearDown() override {
        gate.open();
        EXPECT_TRUE(stopMonitor(std::chrono::steady_clock::now() + test::kPatience));
        releaseGlobals();
        initGlobals();
    }

    FakeWindow window;
    test::PassGate gate;
};

TEST_F(Handlers, GlobalsStartEmptyAndStopped) {
    Globals& g = globals();
    EXPECT_EQ(g.gMonitoring.load(), 0);
    EXPECT_EQ(g.gAreaCode.load(), "");
    EXPECT_EQ(g.gClientCookie.load(), "");
    EXPECT_TRUE(g.ProvinceNames.empty());
    EXPECT_TRUE(g.AreaCodes.empty());
    EXPECT_FALSE(g.gNotified.isCreated());
    EXPECT_EQ(g.gResetTimer.period(), 0);
}

TEST_F(Handlers, WindowCreatedFillsTheListSelectsTheFirstAndCaptionsTheWindow) {
    onWindowCreated();
    Globals& g = globals();

    ASSERT_EQ(g.ProvinceNames.size(), 31u);
    ASSERT_EQ(g.AreaCodes.size(), 31u);
    EXPECT_EQ(window.items(), g.ProvinceNames);
    EXPECT_EQ(g.ProvinceNames.front(), "\xB1\xB1\xBE\xA9");  // 北京
    EXPECT_EQ(g.ProvinceNames[9], local("黑龙江"));
    EXPECT_EQ(g.AreaCodes[9], "10_727_728_10680");
    EXPECT_EQ(g.ProvinceNames.back(), local("新疆"));
    EXPECT_EQ(g.AreaCodes.back(), "31_2652_36685_52685");
    for (size_t i = 0; i < g.AreaCodes.size(); ++i) {
        // Each area code starts with its row number.
        EXPECT_EQ(split(g.AreaCodes[i], "_").front(), numberToText(static_cast<int32_t>(i + 1)));
    }

    // The selection shows the first province, but no pick happened: the area stays empty.
    EXPECT_EQ(window.controlText(Control::ProvinceBox), local("北京"));
    EXPECT_EQ(g.gAreaCode.load(), "");

    EXPECT_EQ(g.gClientCookie.load(), kFixedClientCookie);
    EXPECT_EQ(g.gClientCookie.load().length(), 189);
    EXPECT_EQ(window.controlText(Control::MainWindow), "jd-stock-monitor");

    std::vector<std::string> expected(31, "addListItem 组合框地址");
    expected.push_back("setCurrentSelection 组合框地址 0");
    expected.push_back("setControlText window");
    auto calls = window.calls();
    calls.erase(calls.begin());  // the fixture's caption
    EXPECT_EQ(calls, expected);

    EXPECT_TRUE(g.gNotified.isCreated());
    EXPECT_EQ(g.gResetTimer.period(), 60000);
}

TEST_F(Handlers, ProvincePickStoresItsAreaCode) {
    onWindowCreated();
    Globals& g = globals();
    struct Pick {
        int32_t index;
        const char* areaCode;
    };
    const Pick picks[] = {{1, "2_2815_51975_0"},
                          {1, "2_2815_51975_0"},
                          {0, "1_72_2799_0"},
                          {30, "31_2652_36685_52685"},
                          {18, "19_1601_3633_0"}};
    for (const Pick& pick : picks) {
        window.pick(pick.index);
        onProvinceSelected();
        EXPECT_EQ(g.gAreaCode.load(), pick.areaCode) << "item " << pick.index;
    }

    // A text that names no province leaves the area as it was.
    window.setControlText(Control::ProvinceBox, local("台湾"));
    onProvinceSelected();
    EXPECT_EQ(g.gAreaCode.load(), "19_1601_3633_0");
}

TEST_F(Handlers, AreaCodeAndCookieAreReplacedWhileWorkersReadThem) {
    onWindowCreated();
    Globals& g = globals();
    std::atomic<bool> done{false};
    std::atomic<int64_t> torn{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            while (!done.load()) {
                const Text area = g.gAreaCode.load();
                if (!area.empty() &&
                    std::find(g.AreaCodes.begin(), g.AreaCodes.end(), area) == g.AreaCodes.end()) {
                    ++torn;
                }
                if (g.gClientCookie.load().length() % 189 != 0) ++torn;
            }
        });
    }
    for (int i = 0; i < 2000; ++i) {
        window.pick(i % 31);
        onProvinceSelected();
        g.gClientCookie.store(i % 2 ? Text(kFixedClientCookie)
                                    : Text(kFixedClientCookie) + kFixedClientCookie);
    }
    done.store(true);
    for (auto& r : readers)
        r.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST_F(Handlers, ToggleFollowsTheCaptionNotTheFlag) {
    Globals& g = globals();
    onToggleClicked();
    EXPECT_EQ(window.controlText(Control::ToggleButton), captionPause());
    ASSERT_TRUE(gate.awaitPasses(1));
    EXPECT_EQ(g.gMonitoring.load(), 1);

    onToggleClicked();
    EXPECT_EQ(window.controlText(Control::ToggleButton), captionStart());
    EXPECT_EQ(g.gMonitoring.load(), 0);

    // Caption "pause" with the flag already 0: a click pauses again and starts nothing.
    window.setControlText(Control::ToggleButton, captionPause());
    const uint64_t before = g.startCount.load();
    onToggleClicked();
    EXPECT_EQ(window.controlText(Control::ToggleButton), captionStart());
    EXPECT_EQ(g.gMonitoring.load(), 0);
    gate.open();
    EXPECT_TRUE(g.activities->waitIdle(std::chrono::steady_clock::now() + test::kPatience));
    EXPECT_EQ(g.startCount.load(), before + 1);
    EXPECT_EQ(gate.passes(), 1);
}

TEST_F(Handlers, ReleaseEmptiesTheGlobalsAndMayRunTwice) {
    onWindowCreated();
    window.pick(3);
    onProvinceSelected();
    releaseGlobals();
    releaseGlobals();
    Globals& g = globals();
    EXPECT_EQ(g.gAreaCode.load(), "");
    EXPECT_EQ(g.gClientCookie.load(), "");
    EXPECT_TRUE(g.ProvinceNames.empty());
    EXPECT_TRUE(g.AreaCodes.empty());
    EXPECT_FALSE(g.gNotified.isCreated());
    EXPECT_EQ(g.gResetTimer.period(), 0);
}

TEST_F(Handlers, AnnouncedProductsAreForgottenOnlyByTheReset) {
    onWindowCreated();
    // The timer's first reset comes at once, on the empty table, from the timer's thread. Stopping it
    // here (after that reset, or before it could start) leaves the resets to the test.
    globals().gResetTimer.stopAndWait();
    EXPECT_TRUE(globals().gNotified.isCreated());
    const Text a = "100012043978", b = "100008348542";
    EXPECT_FALSE(isAnnounced(a));
    markAnnounced(a);
    EXPECT_TRUE(isAnnounced(a));
    EXPECT_FALSE(isAnnounced(b));

    // Pausing and starting again does not make a product announceable.
    onToggleClicked();
    ASSERT_TRUE(gate.awaitPasses(1));
    onToggleClicked();
    EXPECT_TRUE(isAnnounced(a));

    onResetTimer();
    EXPECT_FALSE(isAnnounced(a));
    markAnnounced(a);
    EXPECT_TRUE(isAnnounced(a));
}

TEST_F(Handlers, ResetRacesWithWorkersUnderTheAnnouncementLock) {
    onWindowCreated();
    std::atomic<bool> stop{false};
    std::thread resetter([&] {
        while (!stop.load())
            onResetTimer();
    });
    std::vector<std::thread> workers;
    for (int t = 0; t < 4; ++t) {
        workers.emplace_back([t] {
            for (int i = 0; i < 500; ++i) {
                const Text id = numberToText(static_cast<int32_t>(t * 1000 + i % 20));
                if (!isAnnounced(id)) markAnnounced(id);
            }
        });
    }
    for (auto& w : workers)
        w.join();
    stop.store(true);
    resetter.join();
    onResetTimer();
    EXPECT_FALSE(isAnnounced("0"));
    EXPECT_EQ(globals().gNotified.count(), 0);
}

}  // namespace
}  // namespace jdsm
