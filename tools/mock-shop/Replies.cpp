#include "tools/mock-shop/Replies.h"

#include "text/CodePage.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>

namespace jdsm::mockshop {

namespace {

using ordered_json = nlohmann::ordered_json;

bool allDigits(std::string_view text) {
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// IDs and vendor numbers are numbers in the shop's JSON when they look like one.
ordered_json numberOrText(std::string_view text) {
    if (allDigits(text)) return std::stoll(std::string(text));
    return std::string(text);
}

// Inside the page's script block the name sits in a single-quoted literal.
std::string scriptLiteral(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\'' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

std::string htmlText(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string replaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

}  // namespace

std::string productPage(const Product& p) {
    const std::string name = htmlText(p.title);
    const std::string title = p.pageTitle.empty() ? name + "【行情 报价 价格 评测】-京东" : p.pageTitle;
    std::string page;
    page.reserve(2048);
    page += "<!DOCTYPE HTML>\n<html lang=\"zh-CN\">\n<head>\n";
    page += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\n";
    page += "<title>" + title + "</title>\n";
    page += "<meta name=\"keywords\" content=\"" + name + "," + name + "报价," + name + "参数\"/>\n";
    page += "<meta name=\"description\" content=\"" + name + "，京东提供" + name +
            "正品行货，并包括品牌官网信息、最新报价与评价。\" />\n";
    page += "<link rel=\"canonical\" href=\"/" + p.id + ".html\"/>\n";
    page += "<script>\n    var pageConfig = {\n        compatible: true,\n        product: {\n";
    page += "            skuid: " + p.id + ",\n";
    page += "            name: '" + scriptLiteral(p.title) + "',\n";
    page += "            href: '/" + p.id + ".html',\n";
    page += "            cat: [" + p.category + "],\n";
    page += "            venderId:" + p.vendor + ",\n";
    page += "            shopId:'" + p.vendor + "',\n";
    page += "            isPop:" + std::string(p.shop == "京东自营" ? "false" : "true") + ",\n";
    page += "            isClosePCShow: false\n        }\n    };\n</script>\n</head>\n<body>\n";
    page +=
        "<div class=\"crumb-wrap\"><a href=\"/\">首页</a> &gt; <span>" + htmlText(p.shop) + "</span></div>\n";
    page += "<div class=\"sku-name\">" + name + "</div>\n";
    page += "<div class=\"summary-price\"><span class=\"p-price\"><span>￥</span><span class=\"price J-p-" +
            p.id + "\"></span></span></div>\n";
    if (p.delisted) page += "<div class=\"itemover-tip\">该商品已下柜，欢迎挑选其他商品！</div>\n";
    page += "<div id=\"J-detail-content\"><p>商品介绍加载中...</p></div>\n</body>\n</html>\n";
    return codepage::utf8ToLocalString(page);
}

std::string notFoundPage() {
    return codepage::utf8ToLocalString(
        "<!DOCTYPE HTML>\n<html lang=\"zh-CN\">\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gbk\" />\n"
        "<title>京东(JD.COM)-正品低价、品质保障、配送及时、轻松购物！</title>\n</head>\n<body>\n"
        "<div class=\"error-tip\">您所访问的页面不存在，请返回首页继续选购。</div>\n</body>\n</html>\n");
}

std::string errorPage(int status) {
    const std::string code = std::to_string(status);
    const char* reason = status == 500   ? "Internal Server Error"
                         : status == 502 ? "Bad Gateway"
                         : status == 503 ? "Service Temporarily Unavailable"
                         : status == 504 ? "Gateway Time-out"
                         : status == 403 ? "Forbidden"
                         : status == 404 ? "Not Found"
                                         : "Error";
    return "<html>\r\n<head><title>" + code + " " + reason + "</title></head>\r\n<body>\r\n<center><h1>" +
           code + " " + reason + "</h1></center>\r\n<hr><center>front</center>\r\n</body>\r\n</html>\r\n";
}

std::string chatJson(const Product* p) {
    ordered_json j;
    if (p == nullptr) {
        j["code"] = 2;
        j["hasEntryGroup"] = 0;
        j["rank3"] = 0;
        return j.dump();
    }
    j["code"] = 1;
    j["hasEntryGroup"] = 0;
    j["hasEntryStore"] = 1;
    j["shopId"] = numberOrText(p->vendor);
    j["venderId"] = numberOrText(p->vendor);
    j["seller"] = p->shop;
    j["rank3"] = 0;
    j["entranceType"] = 1;
    j["chatDomain"] = "chat.shop.local";
    return j.dump();
}

int stockStateCode(std::string_view state) {
    if (state == "现货") return 33;
    if (state == "无货") return 34;
    if (state == "预订") return 36;
    if (state == "采购中") return 39;
    if (state == "可配货") return 40;
    return 34;
}

std::string stockJson(const Product* p, std::string_view skuId, std::string_view area,
                      const std::string& state) {
    const std::string price = p ? p->price : "-1";
    const bool onHand = p != nullptr && state == "现货";
    ordered_json stock;
    stock["skuId"] = numberOrText(skuId);
    stock["realSkuId"] = numberOrText(skuId);
    stock["area"] = std::string(area);
    stock["StockState"] = stockStateCode(state);
    stock["StockStateName"] = state;
    stock["code"] = 1;
    stock["IsPurchase"] = onHand;
    stock["rn"] = -1;
    stock["PopType"] = 0;
    stock["skuState"] = p ? 1 : 0;
    stock["promiseResult"] = onHand ? "下单后预计次日送达" : "";
    stock["ArrivalDate"] = "";
    stock["jdPrice"] = {
        {"id", std::string(skuId)}, {"p", price}, {"op", price}, {"m", price == "-1" ? "-1" : "9999.00"}};
    if (p) stock["self_D"] = {{"vid", numberOrText(p->vendor)}, {"vender", p->shop}, {"po", "false"}};
    stock["vd"] = nullptr;
    ordered_json root;
    root["stock"] = std::move(stock);
    root["choseSuit"] = ordered_json::array();
    // ensure_ascii writes every non-ASCII character as a \u escape, as the stock service does.
    return root.dump(-1, ' ', true);
}

std::string affiliateJson(const Product* p, std::string_view skuId, std::string_view host) {
    ordered_json j;
    if (p == nullptr || p->affiliate.errCode != "0") {
        j["errCode"] = p ? p->affiliate.errCode : "1";
        j["message"] = p && !p->affiliate.message.empty() ? p->affiliate.message : "商品暂不支持推广";
        j["skuInfos"] = ordered_json::array();
        return j.dump();
    }
    std::string url = replaceAll(p->affiliate.unionUrl, "{host}", host);
    url = replaceAll(std::move(url), "{id}", skuId);
    j["errCode"] = "0";
    j["message"] = p->affiliate.message.empty() ? "success" : p->affiliate.message;
    j["skuInfos"] = ordered_json::array(
        {{{"skuId", numberOrText(skuId)}, {"skuName", p->title}, {"unionUrl", url}, {"price", p->price}}});
    return j.dump();
}

std::string wrapJsonp(std::string_view callback, std::string_view json) {
    if (callback.empty()) return std::string(json);
    std::string out;
    out.reserve(callback.size() + json.size() + 2);
    out.append(callback).append("(").append(json).append(")");
    return out;
}

std::string garbage(std::size_t size) {
    static constexpr char kStray[] = "(){}[]<>\"\\";
    std::string out(size, '\0');
    std::uint32_t x = 2463534242u;  // fixed seed: the same bytes every time
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = (i % 7 == 3) ? kStray[x % (sizeof kStray - 1)] : static_cast<char>(x & 0xFF);
    }
    return out;
}

std::string padPage(std::string body, std::size_t size) {
    if (body.size() + 9 >= size) return body;
    const std::size_t at = body.rfind("</html>");
    std::string filler = "<!--" + std::string(size - body.size() - 7, ' ') + "-->";
    body.insert(at == std::string::npos ? body.size() : at, filler);
    return body;
}

std::string padJson(std::string_view callback, std::string json, std::size_t size) {
    const std::size_t wrapper = callback.empty() ? 0 : callback.size() + 2;
    if (json.size() + wrapper < size) json.append(size - json.size() - wrapper, ' ');
    return wrapJsonp(callback, json);
}

}  // namespace jdsm::mockshop
