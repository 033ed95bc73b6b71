// The Qt window under the offscreen platform: its controls, what the user does with them, and the
// window operations called from other threads.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <thread>

#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/QtMainWindow.h"
#include "app/tests/QtApplication.h"
#include "app/tests/Waiting.h"
#include "text/CodePage.h"

namespace jdsm {
namespace {

using test::kPatience;
constexpr int kWaitMs = 10000;

Text local(std::string_view utf8) {
    return Text(codepage::utf8ToLocalString(utf8));
}

template <typename Widget>
Widget* findControl(QtMainWindow& window, Control control) {
    return window.widget()->findChild<Widget*>(QString::fromUtf8(controlObjectName(control)));
}

std::unique_ptr<QtMainWindow> makeWindow(int32_t logLineCap = QtMainWindow::kDefaultLogLineCap) {
    return std::make_unique<QtMainWindow>(
        QtMainWindow::Events{onWindowCreated, onToggleClicked, onProvinceSelected}, logLineCap);
}

class Window : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        initGlobals();
        globals().passWait = gate.asPassWait();
        globals().worker = calls.asWorker();
        window = makeWindow();
        globals().window = window.get();
        window->createAndShow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window->widget()));
    }
    void TearDown() override {
        gate.open();
        EXPECT_TRUE(stopMonitor(std::chrono::steady_clock::now() + kPatience));
        window.reset();
        releaseGlobals();
        initGlobals();
    }

    QString widgetText(Control control) {
        if (control == Control::LogBox || control == Control::IdBox) {
            return findControl<QPlainTextEdit>(*window, control)->toPlainText();
        }
        return {};
    }

    test::PassGate gate;
    test::WorkerCalls calls;
    std::unique_ptr<QtMainWindow> window;
};

TEST_F(Window, ControlsSitAtTheirPlacesWithTheirCaptions) {
    QWidget* root = window->widget();
    EXPECT_EQ(root->geometry(), QRect(50, 50, 396, 259));
    EXPECT_EQ(root->windowTitle(), QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    EXPECT_EQ(window->controlText(Control::MainWindow), "app_window_tests");

    struct Place {
        Control control;
        QRect geometry;
    };
    const Place places[] = {
        {Control::ToggleButton, {179, 4, 64, 24}}, {Control::LogBox, {155, 36, 232, 192}},
        {Control::IdBox, {3, 36, 144, 192}},       {Control::ProvinceBox, {40, 4, 112, 20}},
        {Control::ProvinceLabel, {3, 0, 32, 24}},
    };
    for (const Place& place : places) {
        QWidget* control = findControl<QWidget>(*window, place.control);
        ASSERT_NE(control, nullptr) << controlObjectName(place.control);
        EXPECT_EQ(control->geometry(), place.geometry) << controlObjectName(place.control);
        EXPECT_TRUE(control->isVisible());
    }

    EXPECT_EQ(findControl<QPushButton>(*window, Control::ToggleButton)->text(), QStringLiteral("开始监控"));
    EXPECT_EQ(findControl<QLabel>(*window, Control::ProvinceLabel)->text(), QStringLiteral("省份"));
    EXPECT_EQ(window->controlText(Control::ToggleButton), captionStart());
    EXPECT_EQ(window->controlText(Control::ProvinceLabel), local("省份"));

    auto* provinces = findControl<QComboBox>(*window, Control::ProvinceBox);
    ASSERT_EQ(provinces->count(), 31);
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(provinces->itemText(i), QString::fromUtf8(kProvinceTable[static_cast<size_t>(i)].name));
    }
    EXPECT_EQ(provinces->currentIndex(), 0);
    EXPECT_EQ(window->controlText(Control::ProvinceBox), local("北京"));
    EXPECT_EQ(globals().gAreaCode.load(), "");  // shown, not picked

    EXPECT_TRUE(widgetText(Control::LogBox).isEmpty());
    EXPECT_TRUE(widgetText(Control::IdBox).isEmpty());
    EXPECT_TRUE(findControl<QPlainTextEdit>(*window, Control::LogBox)->isReadOnly());
}

TEST_F(Window, UserTypesIdsPicksAProvinceAndTogglesMonitoring) {
    auto* ids = findControl<QPlainTextEdit>(*window, Control::IdBox);
    QTest::keyClicks(ids, "100012043978");
    QTest::keyClick(ids, Qt::Key_Return);
    QTest::keyClicks(ids, "100008348542");
    EXPECT_EQ(window->controlText(Control::IdBox), "100012043978\r\n100008348542");

    // Pick 上海 from the open list.
    auto* provinces = findControl<QComboBox>(*window, Control::ProvinceBox);
    provinces->showPopup();
    QAbstractItemView* list = provinces->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, kWaitMs));
    const QRect item = list->visualRect(list->model()->index(1, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return globals().gAreaCode.load() == "2_2815_51975_0"; }, kWaitMs));
    EXPECT_EQ(window->controlText(Control::ProvinceBox), local("上海"));

    auto* button = findControl<QPushButton>(*window, Control::ToggleButton);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(button->text(), QStringLiteral("暂停监控"));
    EXPECT_EQ(window->controlText(Control::ToggleButton), captionPause());
    ASSERT_TRUE(gate.awaitPasses(1));
    ASSERT_TRUE(calls.awaitTotal(2));
    EXPECT_EQ(calls.perLine(), (std::map<int32_t, int64_t>{{1, 1}, {2, 1}}));
    EXPECT_EQ(globals().gMonitoring.load(), 1);

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(button->text(), QStringLiteral("开始监控"));
    EXPECT_EQ(globals().gMonitoring.load(), 0);
}

TEST_F(Window, LogLinesFromManyWorkersArriveWholeAndInOrder) {
    constexpr int kWorkers = 4, kLines = 300;
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([this, w] {
            for (int i = 0; i < kLines; ++i) {
                window->appendToEdit(Control::LogBox,
                                     "w" + numberToText(w) + local(":无货") + numberToText(i) + "\r\n");
            }
        });
    }
    for (auto& t : workers)
        t.join();
    auto* log = findControl<QPlainTextEdit>(*window, Control::LogBox);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log->blockCount() == kWorkers * kLines + 1; }, kWaitMs));

    const QStringList lines = log->toPlainText().split(QLatin1Char('\n'));
    std::vector<int> next(kWorkers, 0);
    for (int k = 0; k < kWorkers * kLines; ++k) {
        const QString& line = lines[k];
        const int w = line.mid(1, 1).toInt();
        EXPECT_EQ(line, QStringLiteral("w%1:无货%2").arg(w).arg(next[static_cast<size_t>(w)]++));
    }
    EXPECT_EQ(lines.back(), QString());
    // Readers get the same text, with CR LF line breaks.
    EXPECT_EQ(window->controlText(Control::LogBox),
              local(log->toPlainText().replace("\n", "\r\n").toStdString()));
}

TEST_F(Window, LogKeepsOnlyItsNewestLines) {
    auto small = makeWindow(50);
    std::thread worker([&] {
        for (int i = 0; i < 120; i += 3) {
            small->appendToEdit(Control::LogBox, "line " + numberToText(i) + "\r\nline " +
                                                     numberToText(i + 1) + "\r\nline " + numberToText(i + 2) +
                                                     "\r\n");
        }
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return contains(small->controlText(Control::LogBox), "line 119\r\n"); },
                                kWaitMs));

    Text expected;
    for (int i = 70; i < 120; ++i)
        expected += "line " + numberToText(i) + "\r\n";
    EXPECT_EQ(small->controlText(Control::LogBox), expected);
    auto* log = findControl<QPlainTextEdit>(*small, Control::LogBox);
    EXPECT_EQ(log->blockCount(), 51);
    EXPECT_EQ(log->document()->firstBlock().text(), QStringLiteral("line 70"));
}

TEST_F(Window, TextsFromOtherThreadsCrossInCodePage936) {
    const Text ids = local("北京\r\n上海");
    std::thread([&] {
        window->setControlText(Control::IdBox, ids);
        window->appendToEdit(Control::LogBox, local("2020年2月9日14时5分7秒100012043978:有货\r\n"));
    }).join();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return widgetText(Control::IdBox) == QStringLiteral("北京\n上海"); }, kWaitMs));
    EXPECT_EQ(window->controlText(Control::IdBox), ids);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return widgetText(Control::LogBox) == QStringLiteral("2020年2月9日14时5分7秒100012043978:有货\n");
        },
        kWaitMs));
}

}  // namespace
}  // namespace jdsm
