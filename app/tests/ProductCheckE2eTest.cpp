// The product check against the simulated shop on 127.0.0.1, through the real HTTP client, JSON
// document and announcement memory, with a fake window and a recording browser.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "app/Endpoints.h"
#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/ProductCheck.h"
#include "app/UrlOpener.h"
#include "app/tests/FakeWindow.h"
#include "app/tests/Waiting.h"
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

Text local(std::string_view utf8) {
    return Text(codepage::utf8ToLocalString(utf8));
}

// 14:05:07 on 9 February 2020.
const LocalTime kNow{2020, 2, 9, 14, 5, 7, 250};
const char kTime[] = "2020年2月9日14时5分7秒";

Text outOfStockLine(std::string_view id) {
    return local(kTime + std::string(id) + ":无货\r\n");
}
Text inStockLine(std::string_view id) {
    return local(kTime + std::string(id) + ":有货\r\n");
}

constexpr char kArea[] = "1_72_2799_0";

// `text` against `pattern`, where "#" is one digit and "*" any run of characters.
bool matches(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return text.empty();
    if (pattern[0] == '*') {
        for (size_t skip = 0; skip <= text.size(); ++skip) {
            if (matches(text.substr(skip), pattern.substr(1))) return true;
        }
        return false;
    }
    if (text.empty()) return false;
    const bool ok = pattern[0] == '#' ? (text[0] >= '0' && text[0] <= '9') : text[0] == pattern[0];
    return ok && matches(text.substr(1), pattern.substr(1));
}

// Every product the checks below meet. The shop answers unknown IDs (the empty one included) with a
// 404 page that has no usable title.
constexpr char kScenario[] = R"json({"products":[
    {"id":"1001","title":"测试商品 一号 大包装","category":"652,12345,12346","vendor":1000123,
     "price":"12.90","stock":"无货"},
    {"id":"1002","title":"测试商品 二号 小包装","category":"652,12345,12347","vendor":1000124,
     "price":"99.00","stock":"现货"},
    {"id":"1003","title":"预约商品 三号 礼盒装","price":"-1","stock":"现货"},
    {"id":"1004","title":"预约商品 四号 礼盒装","price":"-1","stock":"无货"},
    {"id":"1005","title":"测试商品 五号 单只装","price":"-1.00","stock":"现货"},
    {"id":"1006","title":"旧款商品 六号 白色","delisted":true,"stock":"现货"},
    {"id":"1007","page_title":"【自营】测试商品 七号 大包装","stock":"现货"},
    {"id":"1008","title":"测试商品 八号 大包装","stock":"现货",
     "affiliate":{"errCode":"2","message":"该商品暂不支持推广"}},
    {"id":"1009","title":"测试商品 九号 大包装","stock":"现货","affiliate":{"unionUrl":"file:///etc/passwd"}},
    {"id":"1010","title":"测试商品 十号 大包装","stock":"现货",
     "affiliate":{"unionUrl":"javascript:alert(document.cookie)"}},
    {"id":"1011","title":"测试商品 十一 大包装","stock":"现货","affiliate":{"unionUrl":"--new-window"}},
    {"id":"1012","title":"测试商品 十二 大包装","stock":"现货","affiliate":{"unionUrl":""}},
    {"id":"1020","title":"测试商品 二十 大包装","vendor":1000777,"stock":"无货",
     "faults":[{"endpoint":"chat","kind":"garbage"}]},
    {"id":"1021","title":"测试商品 二一 大包装","vendor":1000778,"stock":"现货",
     "faults":[{"endpoint":"chat","kind":"http_error"}]},
    {"id":"1022","title":"测试商品 二二 大包装","vendor":1000779,"stock":"现货",
     "faults":[{"endpoint":"stock","kind":"missing_wrapper"}]}
]})json";

class ProductCheckE2e : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("jdsm-e2e-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        mockshop::Options options;
        options.scenario = mockshop::parseScenario(kScenario);
        options.dir = dir_.string();
        shop_ = std::make_unique<mockshop::MockShop>(std::move(options));
        shop_->start();
        host_ = "127.0.0.1:" + std::to_string(shop_->port());
        const Text base = Text("https://" + host_);
        setEndpoints({base, base, base, base});
        setExtraCaFile(shop_->caFile());
        opener_ = std::make_shared<RecordingOpener>();
        setUrlOpener(opener_);
        setCheckClock([] { return kNow; });

        initGlobals();
        globals().window = &window_;
        window_.setControlText(Control::ToggleButton, captionStart());
        onWindowCreated();
        // The reset timer clears the memory once at start on its own thread; the tests clear it
        // themselves, at the moments they choose.
        globals().gResetTimer.stopAndWait();
        onResetTimer();
        globals().gAreaCode.store(kArea);
    }
    void TearDown() override {
        gate_.open();
        EXPECT_TRUE(stopMonitor(std::chrono::steady_clock::now() + test::kPatience));
        releaseGlobals();
        initGlobals();
        setUrlOpener(nullptr);
        setCheckClock(nullptr);
        // The client keeps its connections to the shop alive; the shop would wait for them to time out.
        closeIdleConnections();
        shop_->stop();
        std::filesystem::remove_all(dir_);
    }

    // One check of the first line, the list being just `id`; returns the requests it made.
    std::vector<mockshop::RecordedRequest> checkOnly(const std::string& id) {
        shop_->clearRequests();
        window_.setControlText(Control::IdBox, Text(id));
        checkProduct(1);
        return shop_->requests();
    }

    Text log() { return window_.controlText(Control::LogBox); }

    // What each request asked for, in order: "page", "chat", "stock" or "affiliate", checked against
    // the exact form of its URL ("#" stands for one digit, "*" for any text).
    std::vector<std::string> kinds(const std::vector<mockshop::RecordedRequest>& requests,
                                   const std::string& id, const std::string& vendor = "*",
                                   const std::string& category = "*") {
        const std::string page = "/" + id + ".html?dist=jd";
        const std::string chat =
            "/api/checkChat?callback=jQuery1######&pid=" + id + "&returnCharset=utf-8&_=#############";
        const std::string stock = "/stock?skuId=" + id + "&area=" + kArea + "&venderId=" + vendor +
                                  "&buyNum=1&cat=" + category + "&callback=jQuery1######";
        const std::string affiliate = "/cps/zl?content=" + id + "&shareSource=1_2_1";
        std::vector<std::string> out;
        for (const auto& r : requests) {
            EXPECT_EQ(r.method, "GET");
            if (matches(r.target, page)) {
                out.push_back("page");
            } else if (matches(r.target, chat)) {
                out.push_back("chat");
            } else if (matches(r.target, stock)) {
                out.push_back("stock");
            } else if (matches(r.target, affiliate)) {
                out.push_back("affiliate");
                EXPECT_EQ(r.header("User-Agent"), "jxj/3.5.22");
            } else {
                out.push_back("unexpected " + r.target);
            }
        }
        return out;
    }

    using Kinds = std::vector<std::string>;

    std::filesystem::path dir_;
    std::unique_ptr<mockshop::MockShop> shop_;
    std::string host_;
    std::shared_ptr<RecordingOpener> opener_;
    test::FakeWindow window_;
    test::PassGate gate_;
};

TEST_F(ProductCheckE2e, OutOfStockLogsOneLine) {
    const auto requests = checkOnly("1001");
    EXPECT_EQ(kinds(requests, "1001", "1000123", "652,12345,12346"), (Kinds{"page", "chat", "stock"}));
    EXPECT_EQ(log(), outOfStockLine("1001"));
    EXPECT_TRUE(opener_->opened().empty());
}

TEST_F(ProductCheckE2e, InStockIsAnnouncedOncePerClearingWithTheMergedCookie) {
    const std::string link = "https://" + host_ + "/u/1002";
    auto requests = checkOnly("1002");
    EXPECT_EQ(kinds(requests, "1002", "1000124", "652,12345,12347"),
              (Kinds{"page", "chat", "stock", "affiliate"}));
    EXPECT_EQ(log(), inStockLine("1002"));
    EXPECT_EQ(opener_->opened(), std::vector<std::string>{link});
    // The first affiliate request carries the fixed client cookie as it is.
    EXPECT_EQ(requests.back().header("Cookie"), kFixedClientCookie);
    // Then the shop's pairs come first and the client's follow.
    auto mergedWith = [](const std::string& session) {
        return session + "; shop_visitor=1708.3321.9; " + replace(kFixedClientCookie, ";", "; ").str();
    };
    const std::string merged = mergedWith("qwd_sid=s1");
    EXPECT_EQ(globals().gClientCookie.load(), merged);

    // Announced: the next pass still asks for the affiliate link (with the merged cookie), then stops.
    requests = checkOnly("1002");
    EXPECT_EQ(kinds(requests, "1002"), (Kinds{"page", "chat", "stock", "affiliate"}));
    EXPECT_EQ(requests.back().header("Cookie"), merged);
    EXPECT_EQ(log(), inStockLine("1002"));
    EXPECT_EQ(opener_->opened().size(), 1u);
    // The shop's newer session value replaces the old one.
    EXPECT_EQ(globals().gClientCookie.load(), mergedWith("qwd_sid=s2"));

    // After a clearing it is announced again, once.
    onResetTimer();
    checkOnly("1002");
    checkOnly("1002");
    EXPECT_EQ(log(), inStockLine("1002") + inStockLine("1002"));
    EXPECT_EQ(opener_->opened(), (std::vector<std::string>{link, link}));
}

TEST_F(ProductCheckE2e, ChecksThatEndWithoutATrace) {
    struct Case {
        const char* id;
        const char* why;
        Kinds requests;
    };
    const Case cases[] = {
        {"1003", "in stock at price -1", {"page", "chat", "stock"}},
        {"1004", "out of stock at price -1", {"page", "chat", "stock"}},
        {"1006", "delisted", {"page"}},
        {"1007", "title holds no usable name", {"page"}},
        {"1999", "unknown product", {"page"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(kinds(checkOnly(c.id), c.id), c.requests) << c.why;
    }
    EXPECT_EQ(log(), "");
    EXPECT_TRUE(opener_->opened().empty());
}

TEST_F(ProductCheckE2e, OnlyTheExactPriceMinusOneIsSilent) {
    EXPECT_EQ(kinds(checkOnly("1005"), "1005"), (Kinds{"page", "chat", "stock", "affiliate"}));
    EXPECT_EQ(log(), inStockLine("1005"));
}

TEST_F(ProductCheckE2e, FailedChatCheckStillAsksForStockWithAnEmptyVendor) {
    // Garbage instead of JSONP, and an error page: both leave the vendor empty.
    EXPECT_EQ(kinds(checkOnly("1020"), "1020", ""), (Kinds{"page", "chat", "stock"}));
    EXPECT_EQ(kinds(checkOnly("1021"), "1021", ""), (Kinds{"page", "chat", "stock", "affiliate"}));
    EXPECT_EQ(log(), outOfStockLine("1020") + inStockLine("1021"));
}

TEST_F(ProductCheckE2e, StockReplyWithoutWrapperCountsAsOutOfStock) {
    EXPECT_EQ(kinds(checkOnly("1022"), "1022", "1000779"), (Kinds{"page", "chat", "stock"}));
    EXPECT_EQ(log(), outOfStockLine("1022"));
    EXPECT_TRUE(opener_->opened().empty());
}

TEST_F(ProductCheckE2e, RefusedOrUnsafeAffiliateLinksFallBackToTheProductPage) {
    const char* ids[] = {"1008", "1009", "1010", "1011", "1012"};
    std::vector<std::string> expected;
    Text lines;
    for (const char* id : ids) {
        EXPECT_EQ(kinds(checkOnly(id), id), (Kinds{"page", "chat", "stock", "affiliate"})) << id;
        expected.push_back("https://" + host_ + "/" + id + ".html");
        lines += inStockLine(id);
    }
    EXPECT_EQ(opener_->opened(), expected);
    EXPECT_EQ(log(), lines);
}

TEST_F(ProductCheckE2e, EmptyLineAsksForTheBarePageAndStops) {
    shop_->clearRequests();
    window_.setControlText(Control::IdBox, "1001\r\n\r\n1002");
    checkProduct(2);
    const auto requests = shop_->requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/.html?dist=jd");
    EXPECT_EQ(log(), "");
}

TEST_F(ProductCheckE2e, LinePastTheListEndsWithoutATrace) {
    shop_->clearRequests();
    window_.setControlText(Control::IdBox, "1001\r\n1002");
    checkProduct(3);
    checkProduct(0);
    window_.setControlText(Control::IdBox, "");
    checkProduct(1);
    EXPECT_TRUE(shop_->requests().empty());
    EXPECT_EQ(log(), "");
}

TEST_F(ProductCheckE2e, MonitoringUsesTheListAsItReadsWhenEachCheckStarts) {
    Globals& g = globals();
    g.passWait = gate_.asPassWait();
    test::WorkerCalls finished;
    g.worker = [&finished](int32_t line) {
        checkProduct(line);
        finished.record(line);
    };
    window_.setControlText(Control::IdBox, "1001\r\n1002");
    onToggleClicked();

    // Pass 1: both lines, as typed.
    ASSERT_TRUE(gate_.awaitPasses(1));
    ASSERT_TRUE(finished.awaitTotal(2));
    const Text pass1 = log();
    EXPECT_TRUE(pass1 == outOfStockLine("1001") + inStockLine("1002") ||
                pass1 == inStockLine("1002") + outOfStockLine("1001"))
        << pass1;

    // Pass 2: the list now holds one product; the loop still runs two lines, and the second finds
    // nothing to check.
    shop_->clearRequests();
    window_.setControlText(Control::IdBox, "1008");
    gate_.release(1);
    ASSERT_TRUE(gate_.awaitPasses(2));
    ASSERT_TRUE(finished.awaitTotal(4));
    EXPECT_EQ(kinds(shop_->requests(), "1008"), (Kinds{"page", "chat", "stock", "affiliate"}));
    EXPECT_EQ(log(), pass1 + inStockLine("1008"));

    // Pass 3: line 2 is now empty, line 1 is the out-of-stock product again: logged once more.
    shop_->clearRequests();
    window_.setControlText(Control::IdBox, "1001\r\n\r\n1002");
    gate_.release(1);
    ASSERT_TRUE(gate_.awaitPasses(3));
    ASSERT_TRUE(finished.awaitTotal(6));
    auto requests = shop_->requests();
    const auto bare = std::count_if(requests.begin(), requests.end(),
                                    [](const auto& r) { return r.target == "/.html?dist=jd"; });
    EXPECT_EQ(bare, 1);
    EXPECT_EQ(requests.size(), 4u);  // the bare page, and 1001's page, chat and stock
    EXPECT_EQ(log(), pass1 + inStockLine("1008") + outOfStockLine("1001"));
    EXPECT_EQ(finished.perLine(), (std::map<int32_t, int64_t>{{1, 3}, {2, 3}}));

    onToggleClicked();
    EXPECT_EQ(g.gMonitoring.load(), 0);
    EXPECT_EQ(opener_->opened(),
              (std::vector<std::string>{"https://" + host_ + "/u/1002", "https://" + host_ + "/1008.html"}));
}

}  // namespace
}  // namespace jdsm
