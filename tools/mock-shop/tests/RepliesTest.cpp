// The scenario file and the reply bodies, without a server.

#include "text/CodePage.h"
#include "tools/mock-shop/Replies.h"
#include "tools/mock-shop/Scenario.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

namespace jdsm::mockshop {
namespace {

using nlohmann::json;

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

TEST(Scenario, RejectsMalformedFilesWithTheirReason) {
    struct Case {
        const char* name;
        const char* json;
        const char* reason;
    };
    const Case cases[] = {
        {"not json", "{", "parse"},
        {"no product list", R"({"items": []})", "products"},
        {"product without id", R"({"products": [{"title": "x"}]})", "id"},
        {"duplicate id", R"({"products": [{"id": "1"}, {"id": "1"}]})", "listed twice"},
        {"negative time", R"({"products": [{"id": "1", "stock": [{"after_s": -1, "state": "x"}]}]})",
         "after_s"},
        {"step without state", R"({"products": [{"id": "1", "stock": [{"after_s": 1}]}]})", "state"},
        {"unknown fault", R"({"products": [{"id": "1", "faults": [{"endpoint": "stock", "kind": "fire"}]}]})",
         "fault kind"},
        {"unknown endpoint", R"({"products": [{"id": "1", "faults": [{"endpoint": "x", "kind": "reset"}]}]})",
         "endpoint"},
        {"unwrapped page",
         R"({"products": [{"id": "1", "faults": [{"endpoint": "page", "kind": "missing_wrapper"}]}]})",
         "missing_wrapper"},
        {"count without numeric id", R"({"products": [{"id": "a1", "count": 3}]})", "numeric id"},
        {"unknown clock", R"({"clock": "later", "products": []})", "clock"},
        {"ranges overlap", R"({"products": [{"id": "10", "count": 3}, {"id": "12"}]})", "listed twice"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parseScenario(c.json);
            ADD_FAILURE() << "accepted";
        } catch (const ScenarioError& e) {
            EXPECT_TRUE(contains(e.what(), c.reason)) << e.what();
        }
    }
}

TEST(Scenario, StockFollowsTheTimelineOfTheAskedArea) {
    const Scenario s = parseScenario(R"({"products": [
        {"id": "7", "vendor": 55, "stock": [{"after_s": 10, "state": "现货"}, {"after_s": 2.5, "state": "预订"}],
         "stock_by_area": {"2_2815_51975_0": "现货"}},
        {"id": "8"}]})");
    ASSERT_EQ(s.products.size(), 2u);
    const Product& p = s.products[0];
    EXPECT_EQ(p.vendor, "55");
    struct Case {
        const char* area;
        std::int64_t ms;
        const char* state;
    };
    const Case cases[] = {
        {"1_72_2799_0", 0, "无货"},    {"1_72_2799_0", 2499, "无货"},  {"1_72_2799_0", 2500, "预订"},
        {"1_72_2799_0", 9999, "预订"}, {"1_72_2799_0", 10000, "现货"}, {"", 60000, "现货"},
        {"2_2815_51975_0", 0, "现货"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.stockStateAt(c.area, c.ms), c.state) << c.area << " at " << c.ms;
    EXPECT_EQ(s.products[1].stockStateAt("1_72_2799_0", 0), "无货");
}

TEST(Scenario, CountExpandsToConsecutiveIdsAndFaultsHaveWindows) {
    const Scenario s = parseScenario(R"({"products": [{"id": "100000000098", "count": 3, "faults": [
        {"endpoint": "stock", "kind": "delay", "ms": 250, "after_s": 1, "until_s": 2}]}]})");
    ASSERT_EQ(s.products.size(), 3u);
    EXPECT_EQ(s.products[2].id, "100000000100");
    const Product& p = s.products[1];
    EXPECT_EQ(p.faultAt(Endpoint::Stock, 999), nullptr);
    ASSERT_NE(p.faultAt(Endpoint::Stock, 1000), nullptr);
    EXPECT_EQ(p.faultAt(Endpoint::Stock, 1000)->delayMs, 250);
    EXPECT_EQ(p.faultAt(Endpoint::Stock, 2000), nullptr);
    EXPECT_EQ(p.faultAt(Endpoint::Chat, 1500), nullptr);
}

Product sample() {
    Product p;
    p.id = "100012043978";
    p.title = "测试商品 蓝色 大号";
    p.category = "652,12345,12346";
    p.vendor = "1000123";
    p.price = "12.90";
    return p;
}

TEST(Replies, ProductPageIsCodePage936WithTitleAndCategory) {
    const std::string page = productPage(sample());
    EXPECT_TRUE(contains(
        page, codepage::utf8ToLocalString("<title>测试商品 蓝色 大号【行情 报价 价格 评测】-京东</title>")));
    EXPECT_TRUE(contains(page, "cat: [652,12345,12346],"));
    EXPECT_FALSE(contains(page, "\xE5\x95\x86"));  // no UTF-8 left: 商 in UTF-8
    EXPECT_FALSE(contains(page, codepage::utf8ToLocalString("已下柜")));

    Product delisted = sample();
    delisted.delisted = true;
    EXPECT_TRUE(contains(productPage(delisted), codepage::utf8ToLocalString("已下柜")));

    Product tagged = sample();
    tagged.pageTitle = "【预售】名字【x】-京东";
    EXPECT_TRUE(
        contains(productPage(tagged), codepage::utf8ToLocalString("<title>【预售】名字【x】-京东</title>")));

    EXPECT_FALSE(contains(notFoundPage(), codepage::utf8ToLocalString("【")));
}

TEST(Replies, StockJsonIsAsciiWithEscapedWords) {
    const Product p = sample();
    const std::string text = stockJson(&p, p.id, "1_72_2799_0", "现货");
    EXPECT_TRUE(
        std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }));
    EXPECT_TRUE(contains(text, R"("StockStateName":"\u73b0\u8d27")"));
    const json j = json::parse(text);
    EXPECT_EQ(j["stock"]["StockStateName"], "现货");
    EXPECT_EQ(j["stock"]["StockState"], 33);
    EXPECT_EQ(j["stock"]["jdPrice"]["p"], "12.90");

    const json unknown = json::parse(stockJson(nullptr, "5", "1_72_2799_0", "无货"));
    EXPECT_EQ(unknown["stock"]["StockStateName"], "无货");
    EXPECT_EQ(unknown["stock"]["jdPrice"]["p"], "-1");
}

TEST(Replies, ChatAndAffiliateJson) {
    const Product p = sample();
    EXPECT_EQ(json::parse(chatJson(&p))["venderId"], 1000123);
    EXPECT_FALSE(json::parse(chatJson(nullptr)).contains("venderId"));

    const json ok = json::parse(affiliateJson(&p, p.id, "127.0.0.1:8443"));
    EXPECT_EQ(ok["errCode"], "0");
    EXPECT_EQ(ok["skuInfos"][0]["unionUrl"], "https://127.0.0.1:8443/u/100012043978");

    Product refused = sample();
    refused.affiliate.errCode = "2";
    const json no = json::parse(affiliateJson(&refused, p.id, "h"));
    EXPECT_EQ(no["errCode"], "2");
    EXPECT_TRUE(no["skuInfos"].empty());
}

TEST(Replies, PaddingKeepsTheReplyReadable) {
    const std::string page = padPage(productPage(sample()), 100000);
    EXPECT_EQ(page.size(), 100000u);
    EXPECT_TRUE(contains(page, "cat: [652,12345,12346],"));
    EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");

    const std::string jsonp = padJson("jQuery1234567", R"({"a":1})", 5000);
    EXPECT_EQ(jsonp.size(), 5000u);
    EXPECT_EQ(jsonp.substr(0, 14), "jQuery1234567(");
    EXPECT_EQ(jsonp.back(), ')');
    EXPECT_EQ(json::parse(jsonp.substr(14, jsonp.size() - 15))["a"], 1);

    EXPECT_EQ(garbage(512).size(), 512u);
    EXPECT_FALSE(json::accept(garbage(512)));
}

}  // namespace
}  // namespace jdsm::mockshop
