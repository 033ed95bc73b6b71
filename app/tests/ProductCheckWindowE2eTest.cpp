// The whole program path on the real window (offscreen): the user types IDs, picks a province and
// starts monitoring; the product checks run from the monitoring loop against the simulated shop, and
// their lines reach the log box.

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <mutex>

#include "app/Endpoints.h"
#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/MonitorApp.h"
#include "app/ProductCheck.h"
#include "app/UrlOpener.h"
#include "app/tests/QtApplication.h"
#include "app/tests/Waiting.h"
#include "http/CurlRequest.h"
#include "http/HttpSettings.h"
#include "text/CodePage.h"
#include "tools/mock-shop/MockShop.h"

namespace jdsm {
namespace {

constexpr int kWaitMs = 10000;

class RecordingOpener : public UrlOpener {
  public:
    void open(const Text& url) override {
        std::lock_guard lock(lock_);
        opened_.push_back(url.str());
    }
    std::vector<std::string> opened() {
        std::lock_guard lock(lock_);
        return opened_;
    }

  private:
    std::mutex lock_;
    std::vector<std::string> opened_;
};

// The log's lines, sorted: checks of one pass reach the log in no fixed order.
QStringList sortedLines(const QString& log) {
    QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

class MonitoringOnTheWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        test::application();
        dir_ = std::filesystem::temp_directory_path() / ("jdsm-e2e-window-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        mockshop::Options options;
        options.scenario = mockshop::parseScenario(R"({"products":[
            {"id":"1001","title":"测试商品 一号 大包装","vendor":1000123,"stock":"无货"},
            {"id":"1002","title":"测试商品 二号 小包装","vendor":1000124,"stock":"现货"}]})");
        options.dir = dir_.string();
        shop_ = std::make_unique<mockshop::MockShop>(std::move(options));
        shop_->start();
        host_ = "127.0.0.1:" + std::to_string(shop_->port());
        const Text base = Text("https://" + host_);
        setEndpoints({base, base, base, base});
        setExtraCaFile(shop_->caFile());
        opener_ = std::make_shared<RecordingOpener>();
        setUrlOpener(opener_);
        setCheckClock([] { return LocalTime{2020, 2, 9, 14, 5, 0, 0}; });
        initGlobals();
    }
    void TearDown() override {
        gate_.open();
        releaseGlobals();
        initGlobals();
        setUrlOpener(nullptr);
        setCheckClock(nullptr);
        closeIdleConnections();
        shop_->stop();
        std::filesystem::remove_all(dir_);
    }

    std::filesystem::path dir_;
    std::unique_ptr<mockshop::MockShop> shop_;
    std::string host_;
    std::shared_ptr<RecordingOpener> opener_;
    test::PassGate gate_;
};

TEST_F(MonitoringOnTheWindow, OutOfStockEveryPassInStockOnce) {
    test::WorkerCalls finished;
    MonitorOptions options;
    options.worker = [&finished](int32_t line) {
        checkProduct(line);
        finished.record(line);
    };
    options.passWait = gate_.asPassWait();
    bool drove = false;
    options.shown = [&](QtMainWindow& window) {
        QTimer::singleShot(0, window.widget(), [&] {
            // The reset timer's first clearing runs at once on its own thread; stopping it here keeps
            // it from landing between two passes of this test.
            globals().gResetTimer.stopAndWait();
            onResetTimer();

            QWidget* root = window.widget();
            auto* ids = root->findChild<QPlainTextEdit*>(QStringLiteral("编辑框ID"));
            auto* log = root->findChild<QPlainTextEdit*>(QStringLiteral("编辑框日志"));
            auto* provinces = root->findChild<QComboBox*>(QStringLiteral("组合框地址"));
            auto* button = root->findChild<QPushButton*>(QStringLiteral("按钮1"));
            ASSERT_TRUE(ids && log && provinces && button);
            QTest::keyClicks(ids, "1001");
            QTest::keyClick(ids, Qt::Key_Return);
            QTest::keyClicks(ids, "1002");

            // Pick 上海.
            provinces->showPopup();
            QAbstractItemView* list = provinces->view();
            ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, kWaitMs));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(1, 0)).center());
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return globals().gAreaCode.load() == "2_2815_51975_0"; }, kWaitMs));

            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(button->text(), QStringLiteral("暂停监控"));

            // Pass 1: one line for each product.
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return finished.total() >= 2 && log->blockCount() >= 3; }, kWaitMs));
            EXPECT_EQ(sortedLines(log->toPlainText()),
                      QStringList({QStringLiteral("2020年2月9日14时5分1001:无货"),
                                   QStringLiteral("2020年2月9日14时5分1002:有货")}));

            // Pass 2: the product out of stock is logged again, the one in stock is not.
            gate_.release(1);
            ASSERT_TRUE(
                QTest::qWaitFor([&] { return finished.total() >= 4 && log->blockCount() >= 4; }, kWaitMs));
            EXPECT_EQ(sortedLines(log->toPlainText()),
                      QStringList({QStringLiteral("2020年2月9日14时5分1001:无货"),
                                   QStringLiteral("2020年2月9日14时5分1001:无货"),
                                   QStringLiteral("2020年2月9日14时5分1002:有货")}));
            EXPECT_TRUE(log->toPlainText().endsWith(QStringLiteral("1001:无货\n")));

            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_EQ(button->text(), QStringLiteral("开始监控"));
            // Paused: the loop, let go, ends without another pass.
            gate_.open();
            drove = true;
            root->close();
        });
    };

    MonitorRun run = runMonitor(options);
    EXPECT_TRUE(drove);
    EXPECT_TRUE(run.allStopped);
    EXPECT_EQ(finished.perLine(), (std::map<int32_t, int64_t>{{1, 2}, {2, 2}}));
    EXPECT_EQ(opener_->opened(), std::vector<std::string>{"https://" + host_ + "/u/1002"});

    // Every stock request asked for the picked province; the product in stock was asked for its
    // affiliate link on both passes.
    int stock = 0, affiliate = 0;
    for (const auto& r : shop_->requests()) {
        if (r.target.rfind("/stock?", 0) == 0) {
            ++stock;
            EXPECT_NE(r.target.find("&area=2_2815_51975_0&"), std::string::npos) << r.target;
        }
        affiliate += r.target.rfind("/cps/zl?content=1002&", 0) == 0;
    }
    EXPECT_EQ(stock, 4);
    EXPECT_EQ(affiliate, 2);
}

}  // namespace
}  // namespace jdsm
