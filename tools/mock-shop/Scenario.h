#pragma once
// What the simulated shop knows about its products: loaded from a JSON scenario file and changed at run
// time through the control endpoints. Texts are UTF-8 here; each reply converts them to what the real
// endpoint sends (code page 936 for the page, \u escapes for stock, UTF-8 elsewhere).

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace jdsm::mockshop {

// The four endpoints the monitor calls.
enum class Endpoint { Page, Chat, Stock, Affiliate };

enum class FaultKind {
    None,            // the normal reply
    Delay,           // the normal reply after `delayMs`
    Reset,           // headers and part of the body, then the connection is dropped
    Garbage,         // 200 with bytes that are neither HTML nor JSON
    MissingWrapper,  // JSONP endpoints only: the JSON without "callback(" and ")"
    Oversize,        // the normal reply padded to `bytes` bytes
    HttpError,       // `status` with an HTML error page
};

struct Fault {
    Endpoint endpoint = Endpoint::Page;
    FaultKind kind = FaultKind::None;
    std::int64_t delayMs = 3000;
    int status = 503;
    std::size_t bytes = 8u << 20;
    std::int64_t afterMs = 0;          // active from this time after start...
    std::int64_t untilMs = INT64_MAX;  // ...until this one (exclusive)
};

// The stock state from `afterMs` after start until the next step.
struct StockStep {
    std::int64_t afterMs = 0;
    std::string state;  // the word of "StockStateName", e.g. "现货"
};

struct Affiliate {
    std::string errCode = "0";
    // "{host}" becomes the Host header of the request and "{id}" the product ID, so by default the
    // link leads back into this shop.
    std::string unionUrl = "https://{host}/u/{id}";
    std::string message;
};

struct Product {
    std::string id;
    std::string title;      // the product name
    std::string pageTitle;  // the whole <title> text; empty: built from `title`
    std::string category = "652,12345,12346";
    std::string vendor = "1000123";
    std::string shop = "京东自营";
    std::string price = "12.90";
    bool delisted = false;
    std::vector<StockStep> stock;                             // sorted by time; empty: "无货"
    std::map<std::string, std::vector<StockStep>> areaStock;  // by area code, overrides `stock`
    Affiliate affiliate;
    std::vector<Fault> faults;

    // The stock state for `area` at `elapsedMs` after start.
    const std::string& stockStateAt(std::string_view area, std::int64_t elapsedMs) const;
    // The first fault for `endpoint` active at `elapsedMs`, or nullptr.
    const Fault* faultAt(Endpoint endpoint, std::int64_t elapsedMs) const;
};

struct Scenario {
    std::vector<Product> products;
    // Scenario times count from the first request rather than from the start of the shop, so that a
    // demo's "comes in stock after 15 s" happens while someone is watching.
    bool clockFromFirstRequest = false;
    // Set-Cookie values of every affiliate reply; "{n}" becomes the number of the affiliate request.
    std::vector<std::string> affiliateCookies = {"qwd_sid=s{n}; Path=/; HttpOnly",
                                                 "shop_visitor=1708.3321.9; Path=/; Max-Age=15552000"};
};

struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Both throw ScenarioError with a message naming the offending product or field.
Scenario parseScenario(std::string_view json);
Scenario loadScenario(const std::string& path);

std::optional<Endpoint> endpointFromName(std::string_view name);
std::optional<FaultKind> faultKindFromName(std::string_view name);
std::string_view endpointName(Endpoint endpoint);

}  // namespace jdsm::mockshop
