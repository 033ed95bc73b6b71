// The product check against the simulated shop on 127.0.0.1, through the real HTTP client, JSON
// document and announcement memory, with a fake window and a recording browser.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "app/Endpoints.h"
#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/ProductCheck.h"
#include "app/UrlOpener.h"
#include "app/tests/FakeWindow.h"
#include "http/CurlRequest.h"
#include "http/HttpSettings.h"
#include "text/CodePage.h"
#include "tools/mock-shop/MockShop.h"

namespace jdsm {
namespace {

class RecordingOpener : public UrlOpener {
  public:
    void open(const Text& url) override {
        std::lock_guard lock(lock_);
        opened_.push_back(url);
    }
    std::vector<Text> opened() {
        std::lock_guard lock(lock_);
        return opened_;
    }

  private:
    std::mutex lock_;
    std::vector<Text> opened_;
};

Text local(std::string_view utf8) {
    return Text(codepage::utf8ToLocalString(utf8));
}

class ProductCheckE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("jdsm-e2e-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        mockshop::Options options;
        options.scenario = mockshop::parseScenario(R"({"products":[
            {"id":"1001","title":"测试商品 一号 大包装","category":"652,12345,12346","vendor":1000123,
             "price":"12.90","stock":"无货"},
            {"id":"1002","title":"测试商品 二号 小包装","category":"652,12345,12347","vendor":1000124,
             "price":"99.00","stock":"现货"}]})");
        options.dir = dir_.string();
        shop_ = std::make_unique<mockshop::MockShop>(std::move(options));
        shop_->start();
        const Text base = Text("https://127.0.0.1:") + numberToText(int32_t{shop_->port()});
        setEndpoints({base, base, base, base});
        setExtraCaFile(shop_->caFile());
        opener_ = std::make_shared<RecordingOpener>();
        setUrlOpener(opener_);

        initGlobals();
        globals().window = &window_;
        onWindowCreated();
    }
    void TearDown() override {
        stopMonitor(std::chrono::steady_clock::now() + std::chrono::seconds(2));
        releaseGlobals();
        setUrlOpener(nullptr);
        // The client keeps its connections to the shop alive; the shop would wait for them to time out.
        closeIdleConnections();
        shop_->stop();
        std::filesystem::remove_all(dir_);
    }

    std::filesystem::path dir_;
    std::unique_ptr<mockshop::MockShop> shop_;
    std::shared_ptr<RecordingOpener> opener_;
    test::FakeWindow window_;
};

TEST_F(ProductCheckE2e, OutOfStockLogsOneLineAndInStockIsAnnouncedOnce) {
    window_.setControlText(Control::IdBox, "1001\r\n1002");
    checkProduct(1);
    checkProduct(2);
    checkProduct(2);
    const Text log = window_.controlText(Control::LogBox);
    EXPECT_NE(find(log, "1001" + local(":无货") + "\r\n"), -1) << log;
    EXPECT_NE(find(log, "1002" + local(":有货") + "\r\n"), -1) << log;
    EXPECT_EQ(find(log, "1002" + local(":有货"), find(log, "1002") + 1), -1) << "announced twice: " << log;
    ASSERT_EQ(opener_->opened().size(), 1u);
}

}  // namespace
}  // namespace jdsm
