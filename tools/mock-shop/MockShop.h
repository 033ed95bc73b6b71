#pragma once
// A local HTTPS stand-in for the four shop endpoints the monitor calls (product page, chat check, stock,
// affiliate link), all on one port of 127.0.0.1, driven by a Scenario and recording every request.
//
// Routes, as the monitor requests them:
//   GET /<id>.html[?dist=jd]            product page, code page 936
//   GET /api/checkChat?callback=&pid=   chat check, UTF-8 JSONP
//   GET /stock?skuId=&area=&callback=   stock, JSONP with \u escapes
//   GET /cps/zl?content=<id>            affiliate link, JSON with Set-Cookie headers
//   GET /u/<id>                         where the default affiliate link leads: redirects to the page
// and, for tests and load runs (never recorded):
//   POST   /__control/stock?sku=<id>[,<id>...]&state=<word>[&area=<code>]
//   POST   /__control/price?sku=<id>[,<id>...]&price=<text>
//   POST   /__control/fault?sku=<id>[,<id>...]&endpoint=<page|chat|stock|affiliate>&kind=<kind>
//          [&ms=][&status=][&bytes=]     kind "none" clears the endpoint's faults
//   GET    /__control/requests           the recorded requests as JSON lines
//   DELETE /__control/requests           forgets them

#include "tools/mock-shop/Scenario.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace jdsm::mockshop {

struct RecordedRequest {
    std::int64_t seq = 0;        // 1 for the first request the shop saw
    std::int64_t elapsedMs = 0;  // scenario time when it came
    std::string method;
    std::string target;  // path and query exactly as sent
    std::vector<std::pair<std::string, std::string>> headers;

    // The value of the first header of that name (ASCII case-insensitive), empty when absent.
    std::string header(std::string_view name) const;
    // One JSON object: {"seq","t_ms","method","url","headers":{name: value}}.
    std::string toJsonLine() const;
};

struct Options {
    Scenario scenario;
    std::string host = "127.0.0.1";
    int port = 0;  // 0: any free port
    // Where ca.pem, server.pem and server-key.pem are written; created when missing. Required.
    std::string dir;
    std::string recordFile;  // JSON lines, appended and flushed per request; empty: none
    std::size_t threads = 32;
    std::size_t recordLimit = 100000;  // requests kept in memory for requests(); the file keeps all
    // A monotonic clock; the scenario's "after_s" times count from its reading at start() or, for a
    // scenario with "clock": "first_request", at the first request. Empty: the steady clock.
    std::function<std::chrono::milliseconds()> clock;
};

class MockShop {
  public:
    explicit MockShop(Options options);
    ~MockShop();
    MockShop(const MockShop&) = delete;
    MockShop& operator=(const MockShop&) = delete;

    // Writes the certificates, binds and starts serving; returns once connections are accepted.
    // Throws std::runtime_error when the certificates or the port cannot be had.
    void start();
    // Stops serving and joins the server threads; waiting delay faults are cut short. Idempotent.
    void stop();

    int port() const;
    const std::string& caFile() const;

    // Run-time changes; false when a product is unknown (the others in `ids` are still changed).
    // The new state holds from now on, for `area` only or, with an empty area, for every area.
    bool setStock(const std::vector<std::string>& ids, const std::string& state,
                  const std::string& area = "");
    bool setPrice(const std::vector<std::string>& ids, const std::string& price);
    // A fault of kind None clears the endpoint's faults; any other replaces them with `fault`.
    bool setFault(const std::vector<std::string>& ids, const Fault& fault);

    std::vector<RecordedRequest> requests() const;
    void clearRequests();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace jdsm::mockshop
