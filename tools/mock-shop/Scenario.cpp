#include "tools/mock-shop/Scenario.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace jdsm::mockshop {

namespace {

using nlohmann::json;

const std::string kOutOfStock = "无货";

[[noreturn]] void fail(const std::string& where, const std::string& what) {
    throw ScenarioError(where.empty() ? what : where + ": " + what);
}

std::string textOf(const json& value, const std::string& where) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
    fail(where, "expected a string or an integer");
}

std::int64_t secondsToMs(const json& value, const std::string& where) {
    if (!value.is_number() || value.get<double>() < 0) fail(where, "expected seconds >= 0");
    return std::llround(value.get<double>() * 1000.0);
}

std::vector<StockStep> parseStock(const json& value, const std::string& where) {
    std::vector<StockStep> steps;
    if (value.is_string()) {
        steps.push_back({0, value.get<std::string>()});
        return steps;
    }
    if (!value.is_array()) fail(where, "expected a state word or a list of {after_s, state}");
    for (const json& step : value) {
        if (!step.is_object() || !step.contains("state")) fail(where, "each step needs a state");
        steps.push_back({step.contains("after_s") ? secondsToMs(step["after_s"], where + ".after_s") : 0,
                         textOf(step["state"], where + ".state")});
    }
    std::stable_sort(steps.begin(), steps.end(),
                     [](const StockStep& a, const StockStep& b) { return a.afterMs < b.afterMs; });
    return steps;
}

Fault parseFault(const json& value, const std::string& where) {
    if (!value.is_object()) fail(where, "expected an object");
    Fault fault;
    auto endpoint = endpointFromName(value.value("endpoint", ""));
    if (!endpoint) fail(where, "endpoint must be page, chat, stock or affiliate");
    auto kind = faultKindFromName(value.value("kind", ""));
    if (!kind) fail(where, "unknown fault kind");
    fault.endpoint = *endpoint;
    fault.kind = *kind;
    if (fault.kind == FaultKind::MissingWrapper && fault.endpoint != Endpoint::Chat &&
        fault.endpoint != Endpoint::Stock)
        fail(where, "missing_wrapper applies to the chat and stock endpoints only");
    if (value.contains("ms")) fault.delayMs = value["ms"].get<std::int64_t>();
    if (value.contains("status")) fault.status = value["status"].get<int>();
    if (value.contains("bytes")) fault.bytes = value["bytes"].get<std::size_t>();
    if (value.contains("after_s")) fault.afterMs = secondsToMs(value["after_s"], where + ".after_s");
    if (value.contains("until_s")) fault.untilMs = secondsToMs(value["until_s"], where + ".until_s");
    return fault;
}

Product parseProduct(const json& value, const std::string& where) {
    if (!value.is_object() || !value.contains("id")) fail(where, "a product needs an id");
    Product p;
    p.id = textOf(value["id"], where + ".id");
    const std::string at = "product " + p.id;
    p.title = value.value("title", "商品" + p.id);
    p.pageTitle = value.value("page_title", "");
    if (value.contains("category")) p.category = textOf(value["category"], at + ".category");
    if (value.contains("vendor")) p.vendor = textOf(value["vendor"], at + ".vendor");
    p.shop = value.value("shop", p.shop);
    if (value.contains("price")) p.price = textOf(value["price"], at + ".price");
    p.delisted = value.value("delisted", false);
    if (value.contains("stock")) p.stock = parseStock(value["stock"], at + ".stock");
    if (value.contains("stock_by_area")) {
        for (const auto& [area, steps] : value["stock_by_area"].items())
            p.areaStock[area] = parseStock(steps, at + ".stock_by_area." + area);
    }
    if (value.contains("affiliate")) {
        const json& a = value["affiliate"];
        if (a.contains("errCode")) p.affiliate.errCode = textOf(a["errCode"], at + ".affiliate.errCode");
        p.affiliate.unionUrl = a.value("unionUrl", p.affiliate.unionUrl);
        p.affiliate.message = a.value("message", "");
    }
    if (value.contains("faults")) {
        for (const json& f : value["faults"])
            p.faults.push_back(parseFault(f, at + ".faults"));
    }
    return p;
}

// "id" with "count" N stands for N products with consecutive IDs, for load runs.
void expandCount(const json& value, Product product, std::vector<Product>& out) {
    const std::int64_t count = value.value("count", std::int64_t{1});
    if (count < 1) fail("product " + product.id, "count must be at least 1");
    if (count == 1) {
        out.push_back(std::move(product));
        return;
    }
    if (product.id.empty() || product.id.size() > 18 ||
        !std::all_of(product.id.begin(), product.id.end(), [](char c) { return c >= '0' && c <= '9'; }))
        fail("product " + product.id, "count needs a numeric id");
    const std::int64_t first = std::stoll(product.id);
    for (std::int64_t i = 0; i < count; ++i) {
        product.id = std::to_string(first + i);
        out.push_back(product);
    }
}

}  // namespace

const std::string& Product::stockStateAt(std::string_view area, std::int64_t elapsedMs) const {
    const std::vector<StockStep>* steps = &stock;
    if (!areaStock.empty()) {
        auto it = areaStock.find(std::string(area));
        if (it != areaStock.end()) steps = &it->second;
    }
    const std::string* state = &kOutOfStock;
    for (const StockStep& step : *steps) {
        if (step.afterMs > elapsedMs) break;
        state = &step.state;
    }
    return *state;
}

const Fault* Product::faultAt(Endpoint endpoint, std::int64_t elapsedMs) const {
    for (const Fault& fault : faults) {
        if (fault.endpoint == endpoint && fault.kind != FaultKind::None && fault.afterMs <= elapsedMs &&
            elapsedMs < fault.untilMs)
            return &fault;
    }
    return nullptr;
}

Scenario parseScenario(std::string_view text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        fail("scenario", e.what());
    }
    if (!root.is_object() || !root.contains("products") || !root["products"].is_array())
        fail("scenario", "expected an object with a \"products\" list");
    Scenario scenario;
    try {
        const std::string clock = root.value("clock", "start");
        if (clock != "start" && clock != "first_request")
            fail("scenario", "clock must be start or first_request");
        scenario.clockFromFirstRequest = clock == "first_request";
        if (root.contains("affiliate_cookies"))
            scenario.affiliateCookies = root["affiliate_cookies"].get<std::vector<std::string>>();
        std::size_t index = 0;
        for (const json& value : root["products"]) {
            expandCount(value, parseProduct(value, "products[" + std::to_string(index) + "]"),
                        scenario.products);
            ++index;
        }
    } catch (const json::exception& e) {
        fail("scenario", e.what());
    }
    std::vector<std::string> ids;
    for (const Product& p : scenario.products)
        ids.push_back(p.id);
    std::sort(ids.begin(), ids.end());
    if (auto dup = std::adjacent_find(ids.begin(), ids.end()); dup != ids.end())
        fail("product " + *dup, "listed twice");
    return scenario;
}

Scenario loadScenario(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ScenarioError("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return parseScenario(text.str());
    } catch (const ScenarioError& e) {
        throw ScenarioError(path + ": " + e.what());
    }
}

std::optional<Endpoint> endpointFromName(std::string_view name) {
    if (name == "page") return Endpoint::Page;
    if (name == "chat") return Endpoint::Chat;
    if (name == "stock") return Endpoint::Stock;
    if (name == "affiliate") return Endpoint::Affiliate;
    return std::nullopt;
}

std::string_view endpointName(Endpoint endpoint) {
    switch (endpoint) {
        case Endpoint::Page:
            return "page";
        case Endpoint::Chat:
            return "chat";
        case Endpoint::Stock:
            return "stock";
        case Endpoint::Affiliate:
            return "affiliate";
    }
    return "";
}

std::optional<FaultKind> faultKindFromName(std::string_view name) {
    if (name == "none") return FaultKind::None;
    if (name == "delay") return FaultKind::Delay;
    if (name == "reset") return FaultKind::Reset;
    if (name == "garbage") return FaultKind::Garbage;
    if (name == "missing_wrapper") return FaultKind::MissingWrapper;
    if (name == "oversize") return FaultKind::Oversize;
    if (name == "http_error") return FaultKind::HttpError;
    return std::nullopt;
}

}  // namespace jdsm::mockshop
