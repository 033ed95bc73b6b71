// Keep-alive GETs against a loopback HTTPS server: requests per second, sequential and from 8 threads,
// and the TLS handshakes that 1000 requests cost from a cold start.

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "http/CurlRequest.h"
#include "http/HttpSettings.h"
#include "http/WebRequest.h"
#include "http/tests/TestServer.h"

namespace {

using jdsm::testing::TestServer;

void routes(httplib::Server& server) {
    server.Get("/stock", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(R"({"stock":{"StockStateName":"现货","jdPrice":{"p":"99.00"}}})", "application/json");
    });
    server.Get("/stock-close", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Connection", "close");
        res.set_content(R"({"stock":{"StockStateName":"现货","jdPrice":{"p":"99.00"}}})", "application/json");
    });
}

TestServer* gServer = nullptr;

void BM_KeepAliveGet(benchmark::State& state) {
    const jdsm::Text url = gServer->url("/stock");
    int64_t failures = 0;
    for (auto _ : state) {
        int32_t status = 0;
        const jdsm::Bytes body = jdsm::webRequest(url, {.status = &status});
        if (status != 200 || body.empty()) ++failures;
        benchmark::DoNotOptimize(body.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["failures"] = static_cast<double>(failures);
}
BENCHMARK(BM_KeepAliveGet)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_KeepAliveGet)->UseRealTime()->MinTime(2.0)->Threads(8);

// The cost that connection reuse avoids: the server closes every connection, so each request opens a
// new one (resuming the TLS session).
void BM_NewConnectionGet(benchmark::State& state) {
    const jdsm::Text url = gServer->url("/stock-close");
    for (auto _ : state)
        benchmark::DoNotOptimize(jdsm::webRequest(url).data());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NewConnectionGet)->UseRealTime()->MinTime(2.0);

// 1000 requests over `threads` threads against a server no client has talked to yet.
void countHandshakes(int threads) {
    TestServer server(routes);
    jdsm::setExtraCaFile(server.certificates().caFile);
    const jdsm::Text url = server.url("/stock");
    std::atomic<int> ok{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&] {
            for (int i = 0; i < 1000 / threads; ++i) {
                int32_t status = 0;
                jdsm::webRequest(url, {.status = &status});
                if (status == 200) ++ok;
            }
        });
    }
    for (auto& w : workers)
        w.join();
    jdsm::closeIdleConnections();
    std::printf("1000 requests, %d thread(s): %d answered 200, %ld full TLS handshakes, %ld resumed\n",
                threads, ok.load(), server.fullHandshakes(), server.resumedHandshakes());
}

}  // namespace

int main(int argc, char** argv) {
    countHandshakes(1);
    countHandshakes(8);

    TestServer server(routes);
    gServer = &server;
    jdsm::setExtraCaFile(server.certificates().caFile);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    jdsm::closeIdleConnections();
    std::printf("over the run: %ld full TLS handshakes, %ld resumed\n", server.fullHandshakes(),
                server.resumedHandshakes());
    return 0;
}
