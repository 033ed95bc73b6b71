#include "tools/mock-shop/MockShop.h"

#include "tools/mock-shop/Replies.h"
#include "tools/testtls/TestTls.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

namespace jdsm::mockshop {

namespace {

// A product with its page already rendered: pages are the largest replies and never change at run time.
struct Entry {
    Product product;
    std::string page;
};

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::vector<std::string> splitIds(const std::string& text) {
    std::vector<std::string> ids;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string::npos) comma = text.size();
        if (comma > from) ids.push_back(text.substr(from, comma - from));
        from = comma + 1;
    }
    return ids;
}

// The normal reply of an endpoint, kept apart in its pieces so that a fault can take it apart again.
struct Reply {
    std::string contentType;
    std::string body;      // what is sent without a fault
    std::string json;      // JSON endpoints: the JSON inside the wrapper
    std::string callback;  // JSONP endpoints: the wrapper's name, empty when none was asked for
    bool isPage = false;
};

}  // namespace

std::string RecordedRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (sameName(key, name)) return value;
    return {};
}

std::string RecordedRequest::toJsonLine() const {
    nlohmann::ordered_json j;
    j["seq"] = seq;
    j["t_ms"] = elapsedMs;
    j["method"] = method;
    j["url"] = target;
    nlohmann::ordered_json h = nlohmann::ordered_json::object();
    for (const auto& [key, value] : headers) {
        auto it = h.find(key);
        if (it == h.end())
            h[key] = value;
        else
            *it = it->get<std::string>() + ", " + value;
    }
    j["headers"] = std::move(h);
    // Requests may carry bytes that are not UTF-8; the record must still be one valid line.
    return j.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

struct MockShop::Impl {
    Options options;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread listener;
    testtls::Certificates certs;
    int port = 0;
    // The clock reading that scenario times count from; kUnset until start() or the first request.
    static constexpr std::int64_t kUnset = INT64_MIN;
    std::atomic<std::int64_t> originMs{kUnset};

    mutable std::shared_mutex productsMutex;
    std::unordered_map<std::string, std::shared_ptr<const Entry>> products;
    const std::string notFound = notFoundPage();

    mutable std::mutex recordMutex;
    std::deque<RecordedRequest> records;
    std::int64_t seq = 0;
    std::FILE* recordOut = nullptr;
    std::atomic<std::int64_t> affiliateCount{0};

    std::mutex stopMutex;
    std::condition_variable stopWake;
    bool stopping = false;

    explicit Impl(Options o) : options(std::move(o)) {
        for (Product& p : options.scenario.products) {
            auto entry = std::make_shared<Entry>();
            entry->page = productPage(p);
            entry->product = std::move(p);
            products[entry->product.id] = std::move(entry);
        }
        options.scenario.products.clear();
    }

    std::int64_t clockMs() const {
        if (options.clock) return options.clock().count();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }

    std::int64_t elapsedMs() const {
        const std::int64_t origin = originMs.load();
        return origin == kUnset ? 0 : clockMs() - origin;
    }

    std::shared_ptr<const Entry> find(const std::string& id) const {
        std::shared_lock lock(productsMutex);
        auto it = products.find(id);
        return it == products.end() ? nullptr : it->second;
    }

    // Copy-on-write, so that handlers keep reading the entry they found without a lock.
    bool change(const std::vector<std::string>& ids, const std::function<void(Product&)>& edit) {
        bool allKnown = true;
        std::unique_lock lock(productsMutex);
        for (const std::string& id : ids) {
            auto it = products.find(id);
            if (it == products.end()) {
                allKnown = false;
                continue;
            }
            auto copy = std::make_shared<Entry>(*it->second);
            edit(copy->product);
            it->second = std::move(copy);
        }
        return allKnown;
    }

    void record(const httplib::Request& req) {
        std::int64_t unset = kUnset;
        originMs.compare_exchange_strong(unset, clockMs());
        RecordedRequest r;
        r.elapsedMs = elapsedMs();
        r.method = req.method;
        r.target = req.target;
        for (const auto& [key, value] : req.headers) {
            // The server library files the peer's and its own address among the headers.
            if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" || key == "LOCAL_PORT")
                continue;
            r.headers.emplace_back(key, value);
        }
        std::lock_guard lock(recordMutex);
        r.seq = ++seq;
        if (recordOut) {
            const std::string line = r.toJsonLine() + "\n";
            std::fwrite(line.data(), 1, line.size(), recordOut);
            std::fflush(recordOut);
        }
        records.push_back(std::move(r));
        while (records.size() > options.recordLimit)
            records.pop_front();
    }

    // Waits `ms` unless the shop is stopping, so that a long delay fault never holds up a shutdown.
    void pause(std::int64_t ms) {
        std::unique_lock lock(stopMutex);
        stopWake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
    }

    void send(httplib::Response& res, Reply reply, const Fault* fault) {
        const FaultKind kind = fault ? fault->kind : FaultKind::None;
        switch (kind) {
            case FaultKind::None:
                break;
            case FaultKind::Delay:
                pause(fault->delayMs);
                break;
            case FaultKind::Reset: {
                // Announce the whole body, send part of it, then drop the connection.
                auto body = std::make_shared<std::string>(std::move(reply.body));
                res.set_content_provider(body->size(), reply.contentType,
                                         [body](std::size_t, std::size_t, httplib::DataSink& sink) {
                                             sink.write(body->data(), body->size() / 2);
                                             return false;
                                         });
                return;
            }
            case FaultKind::Garbage:
                reply.body = garbage(512);
                break;
            case FaultKind::MissingWrapper:
                reply.body = reply.json;
                break;
            case FaultKind::Oversize:
                reply.body = reply.isPage ? padPage(std::move(reply.body), fault->bytes)
                                          : padJson(reply.callback, std::move(reply.json), fault->bytes);
                break;
            case FaultKind::HttpError:
                res.status = fault->status;
                reply.body = errorPage(fault->status);
                reply.contentType = "text/html";
                break;
        }
        res.set_content(std::move(reply.body), reply.contentType);
    }

    const Fault* faultFor(const Entry* entry, Endpoint endpoint, std::int64_t now) const {
        return entry ? entry->product.faultAt(endpoint, now) : nullptr;
    }

    void servePage(const httplib::Request& req, httplib::Response& res) {
        const auto entry = find(req.matches[1].str());
        Reply reply{"text/html; charset=gbk", entry ? entry->page : notFound};
        reply.isPage = true;
        if (!entry) res.status = 404;
        send(res, std::move(reply), faultFor(entry.get(), Endpoint::Page, elapsedMs()));
    }

    void serveChat(const httplib::Request& req, httplib::Response& res) {
        const auto entry = find(req.get_param_value("pid"));
        Reply reply{"application/javascript; charset=utf-8"};
        reply.callback = req.get_param_value("callback");
        reply.json = chatJson(entry ? &entry->product : nullptr);
        reply.body = wrapJsonp(reply.callback, reply.json);
        send(res, std::move(reply), faultFor(entry.get(), Endpoint::Chat, elapsedMs()));
    }

    void serveStock(const httplib::Request& req, httplib::Response& res) {
        const std::string sku = req.get_param_value("skuId");
        const std::string area = req.get_param_value("area");
        const auto entry = find(sku);
        const std::int64_t now = elapsedMs();
        static const std::string kOutOfStock = "无货";
        const std::string& state = entry ? entry->product.stockStateAt(area, now) : kOutOfStock;
        Reply reply{"application/javascript; charset=gbk"};
        reply.callback = req.get_param_value("callback");
        reply.json = stockJson(entry ? &entry->product : nullptr, sku, area, state);
        reply.body = wrapJsonp(reply.callback, reply.json);
        send(res, std::move(reply), faultFor(entry.get(), Endpoint::Stock, now));
    }

    void serveAffiliate(const httplib::Request& req, httplib::Response& res) {
        const std::string sku = req.get_param_value("content");
        const auto entry = find(sku);
        const std::string n = std::to_string(++affiliateCount);
        for (const std::string& cookie : options.scenario.affiliateCookies) {
            std::string value = cookie;
            for (std::size_t at = value.find("{n}"); at != std::string::npos; at = value.find("{n}", at))
                value.replace(at, 3, n);
            res.set_header("Set-Cookie", value);
        }
        Reply reply{"application/json; charset=utf-8"};
        reply.json = affiliateJson(entry ? &entry->product : nullptr, sku, req.get_header_value("Host"));
        reply.body = reply.json;
        send(res, std::move(reply), faultFor(entry.get(), Endpoint::Affiliate, elapsedMs()));
    }

    static void answer(httplib::Response& res, int status, const std::string& text) {
        res.status = status;
        res.set_content(text + "\n", "text/plain; charset=utf-8");
    }

    void serveControl(const httplib::Request& req, httplib::Response& res, const std::string& what) {
        const std::vector<std::string> ids = splitIds(req.get_param_value("sku"));
        if (what == "requests") {
            if (req.method == "DELETE") {
                clearRequests();
                return answer(res, 200, "ok");
            }
            std::string lines;
            for (const RecordedRequest& r : snapshot())
                lines += r.toJsonLine() + "\n";
            res.set_content(lines, "application/x-ndjson");
            return;
        }
        if (ids.empty()) return answer(res, 400, "sku missing");
        bool known = false;
        if (what == "stock") {
            if (!req.has_param("state")) return answer(res, 400, "state missing");
            known = setStock(ids, req.get_param_value("state"), req.get_param_value("area"));
        } else if (what == "price") {
            if (!req.has_param("price")) return answer(res, 400, "price missing");
            const std::string price = req.get_param_value("price");
            known = change(ids, [&](Product& p) { p.price = price; });
        } else if (what == "fault") {
            auto endpoint = endpointFromName(req.get_param_value("endpoint"));
            auto kind = faultKindFromName(req.get_param_value("kind"));
            if (!endpoint || !kind) return answer(res, 400, "endpoint or kind unknown");
            Fault fault;
            fault.endpoint = *endpoint;
            fault.kind = *kind;
            try {
                if (req.has_param("ms")) fault.delayMs = std::stoll(req.get_param_value("ms"));
                if (req.has_param("status")) fault.status = std::stoi(req.get_param_value("status"));
                if (req.has_param("bytes")) fault.bytes = std::stoull(req.get_param_value("bytes"));
            } catch (const std::exception&) {
                return answer(res, 400, "ms, status and bytes are numbers");
            }
            known = setFault(ids, fault);
        } else {
            return answer(res, 404, "no such control");
        }
        answer(res, known ? 200 : 404, known ? "ok" : "unknown product");
    }

    bool setStock(const std::vector<std::string>& ids, const std::string& state, const std::string& area) {
        return change(ids, [&](Product& p) {
            if (area.empty()) {
                p.stock = {{0, state}};
                p.areaStock.clear();
            } else {
                // Other areas keep following the product's own steps.
                p.areaStock[area] = {{0, state}};
            }
        });
    }

    bool setFault(const std::vector<std::string>& ids, const Fault& fault) {
        return change(ids, [&](Product& p) {
            std::erase_if(p.faults, [&](const Fault& f) { return f.endpoint == fault.endpoint; });
            if (fault.kind != FaultKind::None) p.faults.push_back(fault);
        });
    }

    std::vector<RecordedRequest> snapshot() const {
        std::lock_guard lock(recordMutex);
        return {records.begin(), records.end()};
    }

    void clearRequests() {
        std::lock_guard lock(recordMutex);
        records.clear();
    }

    void routes() {
        httplib::SSLServer& s = *server;
        s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            if (req.path.rfind("/__control/", 0) != 0) record(req);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        s.Get(R"(/([^/]*)\.html)", [this](const auto& req, auto& res) { servePage(req, res); });
        s.Get("/api/checkChat", [this](const auto& req, auto& res) { serveChat(req, res); });
        s.Get("/stock", [this](const auto& req, auto& res) { serveStock(req, res); });
        s.Get("/cps/zl", [this](const auto& req, auto& res) { serveAffiliate(req, res); });
        s.Get(R"(/u/([^/]*))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect("/" + std::string(req.matches[1]) + ".html");
        });
        const auto control = [this](const httplib::Request& req, httplib::Response& res) {
            serveControl(req, res, req.matches[1].str());
        };
        s.Get(R"(/__control/(\w+))", control);
        s.Post(R"(/__control/(\w+))", control);
        s.Delete(R"(/__control/(\w+))", control);
        // Statuses the routes do not fill themselves (unknown paths) get the front server's page.
        s.set_error_handler(
            httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
                if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
                res.set_content(errorPage(res.status), "text/html");
                return httplib::Server::HandlerResponse::Handled;
            }));
    }

    void start() {
        if (options.dir.empty()) throw std::runtime_error("mock-shop: no certificate directory");
        std::filesystem::create_directories(options.dir);
        certs = testtls::makeCertificates(options.dir);
        server = std::make_unique<httplib::SSLServer>(certs.certFile.c_str(), certs.keyFile.c_str());
        if (!server->is_valid()) throw std::runtime_error("mock-shop: TLS set-up failed");
        const std::size_t threads = std::max<std::size_t>(options.threads, 2);
        server->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
        // The library writes the headers and the body separately; with Nagle's algorithm the body
        // then waits for the client's delayed ACK, some 40 ms per reply on a kept-alive connection.
        server->set_tcp_nodelay(true);
        server->set_keep_alive_max_count(1000);
        server->set_keep_alive_timeout(5);
        routes();
        if (!options.recordFile.empty()) {
            recordOut = std::fopen(options.recordFile.c_str(), "w");
            if (!recordOut) throw std::runtime_error("mock-shop: cannot write " + options.recordFile);
        }
        // A client that hangs up mid-reply must not end the process: writes then fail with EPIPE.
        std::signal(SIGPIPE, SIG_IGN);
        port = options.port == 0 ? server->bind_to_any_port(options.host)
                                 : (server->bind_to_port(options.host, options.port) ? options.port : -1);
        if (port <= 0) throw std::runtime_error("mock-shop: cannot listen on " + options.host);
        if (!options.scenario.clockFromFirstRequest) originMs = clockMs();
        listener = std::thread([this] { server->listen_after_bind(); });
        // The socket already listens, so clients may connect; wait for the accept loop so that stop()
        // cannot come before it and be missed.
        while (!server->is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void stop() {
        {
            std::lock_guard lock(stopMutex);
            stopping = true;
        }
        stopWake.notify_all();
        if (server) server->stop();
        if (listener.joinable()) listener.join();
        if (recordOut) {
            std::fclose(recordOut);
            recordOut = nullptr;
        }
    }
};

MockShop::MockShop(Options options) : impl_(std::make_unique<Impl>(std::move(options))) {}

MockShop::~MockShop() {
    stop();
}

void MockShop::start() {
    impl_->start();
}

void MockShop::stop() {
    impl_->stop();
}

int MockShop::port() const {
    return impl_->port;
}

const std::string& MockShop::caFile() const {
    return impl_->certs.caFile;
}

bool MockShop::setStock(const std::vector<std::string>& ids, const std::string& state,
                        const std::string& area) {
    return impl_->setStock(ids, state, area);
}

bool MockShop::setPrice(const std::vector<std::string>& ids, const std::string& price) {
    return impl_->change(ids, [&](Product& p) { p.price = price; });
}

bool MockShop::setFault(const std::vector<std::string>& ids, const Fault& fault) {
    return impl_->setFault(ids, fault);
}

std::vector<RecordedRequest> MockShop::requests() const {
    return impl_->snapshot();
}

void MockShop::clearRequests() {
    impl_->clearRequests();
}

}  // namespace jdsm::mockshop
