#include "app/ProductCheck.h"

#include <mutex>

#include "app/Endpoints.h"
#include "app/Globals.h"
#include "app/Monitor.h"
#include "app/UrlOpener.h"
#include "http/WebRequest.h"
#include "json/JsonDocument.h"
#include "text/Encoding.h"
#include "text/Extract.h"
#include "text/TimeRandom.h"

namespace jdsm {

namespace {

// The shop's words, in code page 936.
constexpr std::string_view kOpenBracket = "\xA1\xBE";                  // 【
constexpr std::string_view kCloseBracket = "\xA1\xBF";                 // 】
constexpr std::string_view kDelisted = "\xD2\xD1\xCF\xC2\xB9\xF1";     // 已下柜
constexpr std::string_view kOnHand = "\xCF\xD6\xBB\xF5";               // 现货
constexpr std::string_view kOutOfStockMark = ":\xCE\xDE\xBB\xF5\r\n";  // :无货
constexpr std::string_view kInStockMark = ":\xD3\xD0\xBB\xF5\r\n";     // :有货

// The affiliate service wants the client's own user agent.
constexpr std::string_view kAffiliateHeaders = "User-Agent: jxj/3.5.22";

// Every affiliate request reads and rewrites the client cookie; one at a time, so that no request
// sends a cookie that another is replacing and no merge is lost.
std::mutex gAffiliateLock;

std::mutex gClockLock;
LocalClock gClock;

Text timeText() {
    LocalClock clock;
    {
        std::lock_guard lock(gClockLock);
        clock = gClock;
    }
    return clock ? logTimeText(clock) : logTimeText();
}

void appendLog(const Text& line) {
    if (WindowOps* window = globals().window) window->appendToEdit(Control::LogBox, line);
}

}  // namespace

void setCheckClock(LocalClock clock) {
    std::lock_guard lock(gClockLock);
    gClock = std::move(clock);
}

Text reduceTitle(std::string_view pageTitle) {
    // A "【" in the first seven bytes opens a leading tag and is passed over. The search for the next
    // one walks from the title's start: a search that began at byte 8 itself would, after a tag of
    // double-byte characters, start inside a character, read the bytes out of step and miss the
    // bracket, and the product would never be checked.
    int32_t cut = find(pageTitle, kOpenBracket);
    while (cut != -1 && cut < 8)
        cut = find(pageTitle, kOpenBracket, cut + static_cast<int32_t>(kOpenBracket.size()));
    if (cut == -1) return {};
    Text title = left(pageTitle, cut - 1);
    if (contains(title, kCloseBracket)) title = textAfterLast(title, kCloseBracket);
    return title;
}

Text unwrapStockReply(std::string_view reply) {
    const Text decoded = decodeEscapes(reply);
    const Text unwrapped = dropRight(dropLeft(decoded, 14), 1);
    return replace(unwrapped, "\"\\\"", "\"99999\"");
}

void checkProduct(int32_t lineNumber) {
    Globals& g = globals();
    if (!g.window) return;
    const TextList lines = split(g.window->controlText(Control::IdBox), "\r\n");
    if (lineNumber < 1 || static_cast<size_t>(lineNumber) > lines.size()) return;
    const Text& productId = lines[static_cast<size_t>(lineNumber - 1)];
    const std::shared_ptr<const Endpoints> shop = endpoints();
    JsonDocument document;

    // Page and vendor: a page without a usable name, or a delisted product, is not examined.
    const Text page = bytesToText(webRequest(shop->product + "/" + productId + ".html?dist=jd"));
    const Text category = textBetween(page, "cat: [", "],");
    const Text title = reduceTitle(textBetween(page, "<title>", "</title>"));
    if (title.empty()) return;
    if (contains(page, kDelisted)) return;

    const Text chat =
        utf8ToLocal(webRequest(shop->chat + "/api/checkChat?callback=jQuery1" + randomDigits(6) +
                               "&pid=" + productId + "&returnCharset=utf-8&_=" + timestampText()));
    document.parse(textBetween(chat, "(", ")"));
    const Text vendorId = document.getText("venderId", 1);

    // Stock in the picked province. A price of "-1" means the shop does not sell it there at all.
    const Text stockReply = bytesToText(webRequest(
        shop->stock + "/stock?skuId=" + productId + "&area=" + g.gAreaCode.load() + "&venderId=" + vendorId +
        "&buyNum=1&cat=" + category + "&callback=jQuery1" + randomDigits(6)));
    document.parse(unwrapStockReply(stockReply));
    const bool inStock = document.getText("stock.StockStateName", 1) == kOnHand;
    if (document.getText("stock.jdPrice.p", 1) == "-1") return;
    if (!inStock) {
        appendLog(timeText() + productId + kOutOfStockMark);
        return;
    }

    // In stock: the affiliate link, or the plain product page when the service refuses.
    Bytes affiliateReply;
    {
        std::lock_guard lock(gAffiliateLock);
        Text cookie = g.gClientCookie.load();
        affiliateReply =
            webRequest(shop->affiliate + "/cps/zl?content=" + productId + "&shareSource=1_2_1",
                       {.method = kMethodGet, .cookie = &cookie, .headers = Text(kAffiliateHeaders)});
        g.gClientCookie.store(std::move(cookie));
    }
    document.parse(utf8ToLocal(affiliateReply));
    const Text fallback = shop->product + "/" + productId + ".html";
    Text link =
        document.getText("errCode", 1) == "0" ? document.getText("skuInfos[0].unionUrl", 1) : fallback;
    // A reply must never make the desktop open a local file or start a program: only web links pass.
    if (!isWebAddress(link)) link = fallback;

    if (isAnnounced(productId)) return;
    openUrl(link);
    appendLog(timeText() + productId + kInStockMark);
    markAnnounced(productId);
}

}  // namespace jdsm
