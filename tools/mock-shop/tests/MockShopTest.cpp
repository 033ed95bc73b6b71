// The shop served in-process on 127.0.0.1, asked over HTTPS by a client that trusts only its CA.

#include "text/CodePage.h"
#include "tools/mock-shop/MockShop.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

namespace jdsm::mockshop {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

constexpr const char* kScenario = R"({"products": [
  {"id": "100012043978", "title": "测试商品 蓝色 大号", "category": "652,12345,12346", "vendor": 1000123,
   "price": "12.90", "stock": [{"after_s": 0, "state": "无货"}, {"after_s": 20, "state": "现货"}],
   "stock_by_area": {"2_2815_51975_0": "现货"}},
  {"id": "200", "title": "已下架的旧商品 型号", "delisted": true},
  {"id": "300", "title": "不推广的商品 红色", "stock": "现货", "affiliate": {"errCode": "2"}},
  {"id": "400", "title": "出故障的商品 绿色", "stock": "现货",
   "faults": [{"endpoint": "chat", "kind": "http_error", "status": 502, "after_s": 5, "until_s": 6}]}
]})";

constexpr const char* kCallback = "jQuery1234567";

class MockShopTest : public ::testing::Test {
  protected:
    void SetUp() override { startShop(kScenario); }

    void startShop(const char* scenario) {
        shop_.reset();
        dir_ = std::filesystem::temp_directory_path() /
               ("mockshop-test-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        Options options;
        options.scenario = parseScenario(scenario);
        options.dir = dir_.string();
        options.recordFile = (dir_ / "requests.jsonl").string();
        options.threads = 8;
        options.clock = [this] { return std::chrono::milliseconds(nowMs_.load()); };
        shop_ = std::make_unique<MockShop>(std::move(options));
        shop_->start();
    }

    void TearDown() override {
        shop_.reset();
        std::filesystem::remove_all(dir_);
    }

    std::unique_ptr<httplib::SSLClient> client() const {
        auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", shop_->port());
        c->set_ca_cert_path(shop_->caFile().c_str());
        c->enable_server_certificate_verification(true);
        c->set_url_encode(false);  // the monitor sends its URLs as they are
        c->set_read_timeout(30s);
        return c;
    }

    httplib::Result get(const std::string& target, const httplib::Headers& headers = {}) const {
        return client()->Get(target.c_str(), headers);
    }

    httplib::Result post(const std::string& target) const { return client()->Post(target.c_str()); }

    std::string stockTarget(const std::string& id, const std::string& area = "1_72_2799_0") const {
        return "/stock?skuId=" + id + "&area=" + area +
               "&venderId=1000123&buyNum=1&cat=652,12345,12346&callback=" + kCallback;
    }

    // The JSON of a JSONP reply, unwrapped the way the monitor does: 14 bytes off the front, one off the end.
    static json unwrapStock(const std::string& body) {
        EXPECT_EQ(body.substr(0, 14), std::string(kCallback) + "(");
        EXPECT_EQ(body.back(), ')');
        return json::parse(body.substr(14, body.size() - 15));
    }

    std::string stockState(const std::string& id, const std::string& area = "1_72_2799_0") const {
        auto res = get(stockTarget(id, area));
        if (!res) return "request failed";
        return unwrapStock(res->body)["stock"]["StockStateName"];
    }

    std::filesystem::path dir_;
    std::atomic<std::int64_t> nowMs_{0};
    std::unique_ptr<MockShop> shop_;
};

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

TEST_F(MockShopTest, ProductPageComesInCodePage936) {
    for (const std::string target : {"/100012043978.html?dist=jd", "/100012043978.html"}) {
        auto res = get(target);
        ASSERT_TRUE(res) << target;
        EXPECT_EQ(res->status, 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=gbk");
        EXPECT_TRUE(contains(
            res->body,
            codepage::utf8ToLocalString("<title>测试商品 蓝色 大号【行情 报价 价格 评测】-京东</title>")));
        EXPECT_TRUE(contains(res->body, "cat: [652,12345,12346],"));
        EXPECT_FALSE(contains(res->body, codepage::utf8ToLocalString("已下柜")));
    }
    auto delisted = get("/200.html?dist=jd");
    ASSERT_TRUE(delisted);
    EXPECT_TRUE(contains(delisted->body, codepage::utf8ToLocalString("已下柜")));

    auto unknown = get("/999.html?dist=jd");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_TRUE(contains(unknown->body, "<title>"));
    EXPECT_FALSE(contains(unknown->body, codepage::utf8ToLocalString("【")));
}

TEST_F(MockShopTest, ChatCheckAnswersUtf8JsonpWithTheGivenCallback) {
    auto res =
        get("/api/checkChat?callback=jQuery1654321&pid=100012043978&returnCharset=utf-8&_=1700000000123");
    ASSERT_TRUE(res);
    const std::string& body = res->body;
    ASSERT_EQ(body.substr(0, 14), "jQuery1654321(");
    const std::size_t close = body.find(')');
    ASSERT_NE(close, std::string::npos);
    const json j = json::parse(body.substr(14, close - 14));
    EXPECT_EQ(j["venderId"], 1000123);
    EXPECT_TRUE(contains(body, "京东自营"));  // UTF-8 as sent

    auto unknown = get("/api/checkChat?callback=jQuery1654321&pid=999&returnCharset=utf-8&_=1700000000123");
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(contains(unknown->body, "venderId"));
}

TEST_F(MockShopTest, StockReplyIsWrappedAndEscaped) {
    nowMs_ = 25000;
    auto res = get(stockTarget("100012043978"));
    ASSERT_TRUE(res);
    EXPECT_TRUE(contains(res->body, R"("StockStateName":"\u73b0\u8d27")"));
    EXPECT_TRUE(std::all_of(res->body.begin(), res->body.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    const json j = unwrapStock(res->body);
    EXPECT_EQ(j["stock"]["StockStateName"], "现货");
    EXPECT_EQ(j["stock"]["jdPrice"]["p"], "12.90");

    EXPECT_EQ(stockState("999"), "无货");
}

TEST_F(MockShopTest, StockSwitchesWithTheClockAndPerArea) {
    EXPECT_EQ(stockState("100012043978"), "无货");
    EXPECT_EQ(stockState("100012043978", "2_2815_51975_0"), "现货");
    nowMs_ = 19999;
    EXPECT_EQ(stockState("100012043978"), "无货");
    nowMs_ = 20000;
    EXPECT_EQ(stockState("100012043978"), "现货");
}

TEST_F(MockShopTest, ClockCanStartAtTheFirstRequest) {
    startShop(R"({"clock": "first_request", "products": [
        {"id": "1", "stock": [{"after_s": 0, "state": "无货"}, {"after_s": 15, "state": "现货"}]}]})");
    nowMs_ = 100000;                                         // time passes before anyone asks
    ASSERT_TRUE(post("/__control/price?sku=1&price=2.00"));  // control requests do not count
    nowMs_ = 200000;
    EXPECT_EQ(stockState("1"), "无货");
    nowMs_ = 214999;
    EXPECT_EQ(stockState("1"), "无货");
    nowMs_ = 215000;
    EXPECT_EQ(stockState("1"), "现货");
}

TEST_F(MockShopTest, ControlEndpointChangesStateAndPrice) {
    // The state word travels URL-encoded as UTF-8: 现货.
    auto res = post("/__control/stock?sku=100012043978,300&state=%E7%8E%B0%E8%B4%A7");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(stockState("100012043978"), "现货");
    EXPECT_EQ(stockState("300"), "现货");

    ASSERT_TRUE(
        post("/__control/stock?sku=300&state=%E6%97%A0%E8%B4%A7&area=1_72_2799_0"));  // 无货, one area
    EXPECT_EQ(stockState("300"), "无货");
    EXPECT_EQ(stockState("300", "3_51035_55896_0"), "现货");

    ASSERT_TRUE(post("/__control/price?sku=300&price=-1"));
    EXPECT_EQ(unwrapStock(get(stockTarget("300"))->body)["stock"]["jdPrice"]["p"], "-1");

    struct Case {
        const char* target;
        int status;
    };
    const Case refusals[] = {
        {"/__control/stock?sku=999&state=x", 404}, {"/__control/stock?state=x", 400},
        {"/__control/stock?sku=300", 400},         {"/__control/fault?sku=300&endpoint=stock&kind=fire", 400},
        {"/__control/weather?sku=300", 404},
    };
    for (const Case& c : refusals) {
        auto r = post(c.target);
        ASSERT_TRUE(r) << c.target;
        EXPECT_EQ(r->status, c.status) << c.target;
    }
}

TEST_F(MockShopTest, AffiliateAnswersWithLinkAndCookies) {
    const httplib::Headers headers = {{"User-Agent", "jxj/3.5.22"},
                                      {"Cookie", "client_type=android;app_id=161"}};
    auto first = get("/cps/zl?content=100012043978&shareSource=1_2_1", headers);
    ASSERT_TRUE(first);
    const json j = json::parse(first->body);
    EXPECT_EQ(j["errCode"], "0");
    const std::string host = "127.0.0.1:" + std::to_string(shop_->port());
    EXPECT_EQ(j["skuInfos"][0]["unionUrl"], "https://" + host + "/u/100012043978");
    ASSERT_EQ(first->get_header_value_count("Set-Cookie"), 2u);

    // The session cookie changes from one answer to the next, so a client that merges is visible.
    auto second = get("/cps/zl?content=300&shareSource=1_2_1", headers);
    ASSERT_TRUE(second);
    EXPECT_EQ(json::parse(second->body)["errCode"], "2");
    std::vector<std::string> firstCookies, secondCookies;
    for (std::size_t i = 0; i < 2; ++i) {
        firstCookies.push_back(first->get_header_value("Set-Cookie", i));
        secondCookies.push_back(second->get_header_value("Set-Cookie", i));
    }
    EXPECT_NE(firstCookies, secondCookies);

    // The default link leads back to the product page.
    auto landing = get("/u/100012043978");
    ASSERT_TRUE(landing);
    EXPECT_EQ(landing->status, 302);
    EXPECT_EQ(landing->get_header_value("Location"), "/100012043978.html");
}

TEST_F(MockShopTest, FaultsBreakTheReplyTheirWay) {
    struct Case {
        const char* name;
        const char* endpoint;
        const char* kind;
        const char* extra;
        std::function<void(const httplib::Result&)> check;
    };
    const std::string stock = stockTarget("300");
    const Case cases[] = {
        {"delay", "stock", "delay", "&ms=300",
         [](const httplib::Result& r) {
             ASSERT_TRUE(r);
             EXPECT_EQ(unwrapStock(r->body)["stock"]["StockStateName"], "现货");
         }},
        {"reset", "stock", "reset", "", [](const httplib::Result& r) { EXPECT_FALSE(r); }},
        {"garbage", "stock", "garbage", "",
         [](const httplib::Result& r) {
             ASSERT_TRUE(r);
             EXPECT_EQ(r->status, 200);
             EXPECT_NE(r->body.substr(0, 7), "jQuery1");
             EXPECT_FALSE(json::accept(r->body));
         }},
        {"missing wrapper", "stock", "missing_wrapper", "",
         [](const httplib::Result& r) {
             ASSERT_TRUE(r);
             EXPECT_EQ(r->body.front(), '{');
             EXPECT_EQ(json::parse(r->body)["stock"]["StockStateName"], "现货");
         }},
        {"oversize", "stock", "oversize", "&bytes=3000000",
         [](const httplib::Result& r) {
             ASSERT_TRUE(r);
             EXPECT_GE(r->body.size(), 3000000u);
             EXPECT_EQ(unwrapStock(r->body)["stock"]["StockStateName"], "现货");
         }},
        {"http error", "stock", "http_error", "&status=503",
         [](const httplib::Result& r) {
             ASSERT_TRUE(r);
             EXPECT_EQ(r->status, 503);
             EXPECT_TRUE(contains(r->body, "<title>503 Service Temporarily Unavailable</title>"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto set = post(std::string("/__control/fault?sku=300&endpoint=") + c.endpoint + "&kind=" + c.kind +
                        c.extra);
        ASSERT_TRUE(set);
        ASSERT_EQ(set->status, 200);
        const auto began = std::chrono::steady_clock::now();
        c.check(get(stock));
        if (std::string(c.kind) == "delay") {
            EXPECT_GE(std::chrono::steady_clock::now() - began, 300ms);
        }
    }
    ASSERT_TRUE(post("/__control/fault?sku=300&endpoint=stock&kind=none"));
    EXPECT_EQ(stockState("300"), "现货");
}

TEST_F(MockShopTest, FaultsOfOtherEndpointsAndTimeWindows) {
    Fault oversize;
    oversize.endpoint = Endpoint::Page;
    oversize.kind = FaultKind::Oversize;
    oversize.bytes = 1 << 20;
    ASSERT_TRUE(shop_->setFault({"300"}, oversize));
    auto page = get("/300.html?dist=jd");
    ASSERT_TRUE(page);
    EXPECT_GE(page->body.size(), 1u << 20);
    EXPECT_TRUE(contains(page->body, "cat: ["));

    Fault unwrapped;
    unwrapped.endpoint = Endpoint::Chat;
    unwrapped.kind = FaultKind::MissingWrapper;
    ASSERT_TRUE(shop_->setFault({"300"}, unwrapped));
    auto chat = get("/api/checkChat?callback=jQuery1111111&pid=300&returnCharset=utf-8&_=1700000000123");
    ASSERT_TRUE(chat);
    EXPECT_EQ(chat->body.front(), '{');

    Fault reset;
    reset.endpoint = Endpoint::Affiliate;
    reset.kind = FaultKind::Reset;
    ASSERT_TRUE(shop_->setFault({"300"}, reset));
    EXPECT_FALSE(get("/cps/zl?content=300&shareSource=1_2_1"));

    // Product 400's chat check fails with 502 between 5 s and 6 s only.
    const std::string chat400 =
        "/api/checkChat?callback=jQuery1111111&pid=400&returnCharset=utf-8&_=1700000000123";
    EXPECT_EQ(get(chat400)->status, 200);
    nowMs_ = 5000;
    EXPECT_EQ(get(chat400)->status, 502);
    nowMs_ = 6000;
    EXPECT_EQ(get(chat400)->status, 200);
}

TEST_F(MockShopTest, RequestsAreRecordedWithMethodUrlAndHeaders) {
    const std::string target = stockTarget("100012043978");
    ASSERT_TRUE(get(target));
    ASSERT_TRUE(get("/cps/zl?content=300&shareSource=1_2_1",
                    {{"User-Agent", "jxj/3.5.22"}, {"Cookie", "client_type=android;qwd_chn=99"}}));
    ASSERT_TRUE(post("/__control/price?sku=300&price=1.00"));  // control requests stay out of the record

    const std::vector<RecordedRequest> seen = shop_->requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "GET");
    EXPECT_EQ(seen[0].target, target);  // commas of the category as sent
    EXPECT_EQ(seen[1].target, "/cps/zl?content=300&shareSource=1_2_1");
    EXPECT_EQ(seen[1].header("user-agent"), "jxj/3.5.22");
    EXPECT_EQ(seen[1].header("Cookie"), "client_type=android;qwd_chn=99");
    EXPECT_EQ(seen[1].header("REMOTE_ADDR"), "");
    EXPECT_LT(seen[0].seq, seen[1].seq);

    // The same records reach the file and the control endpoint as JSON lines.
    std::vector<json> fromFile;
    std::ifstream in(dir_ / "requests.jsonl");
    for (std::string line; std::getline(in, line);)
        fromFile.push_back(json::parse(line));
    ASSERT_EQ(fromFile.size(), 2u);
    EXPECT_EQ(fromFile[1]["method"], "GET");
    EXPECT_EQ(fromFile[1]["url"], "/cps/zl?content=300&shareSource=1_2_1");
    EXPECT_EQ(fromFile[1]["headers"]["Cookie"], "client_type=android;qwd_chn=99");

    auto listed = get("/__control/requests");
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->body, seen[0].toJsonLine() + "\n" + seen[1].toJsonLine() + "\n");

    ASSERT_TRUE(client()->Delete("/__control/requests"));
    EXPECT_TRUE(shop_->requests().empty());
}

TEST_F(MockShopTest, StopCutsAWaitingDelayShort) {
    Fault delay;
    delay.endpoint = Endpoint::Page;
    delay.kind = FaultKind::Delay;
    delay.delayMs = 600000;
    ASSERT_TRUE(shop_->setFault({"300"}, delay));
    auto pending = std::async(std::launch::async, [this] { return get("/300.html?dist=jd"); });
    // Wait until the request is inside the shop, then stop it.
    while (shop_->requests().empty())
        std::this_thread::sleep_for(5ms);
    const auto began = std::chrono::steady_clock::now();
    shop_->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - began, 60s);
    pending.get();
}

}  // namespace
}  // namespace jdsm::mockshop
