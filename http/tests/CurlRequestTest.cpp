// webRequest over libcurl against HTTPS servers on 127.0.0.1.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "http/CurlRequest.h"
#include "http/HeaderRules.h"
#include "http/HttpSettings.h"
#include "http/WebRequest.h"
#include "http/tests/ConnectProxy.h"
#include "http/tests/TestServer.h"

namespace jdsm {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::TestServer;

// Holds a response back until the test lets it go (or a generous bound passes).
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;

    void wait() {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(10), [this] { return open; });
    }
    void release() {
        const std::lock_guard lock(mutex);
        open = true;
        changed.notify_all();
    }
};

// "/echo" answers with the method, the request header lines and the body it received.
std::string echo(const httplib::Request& req) {
    std::string out = req.method + "\n";
    for (const auto& [name, value] : req.headers)
        out += name + ": " + value + "\n";
    return out + "\n" + req.body;
}

// The value of one header line in an echo, or "(none)".
std::string echoedHeader(const Bytes& echoBody, const std::string& name) {
    const std::string text(echoBody.begin(), echoBody.end());
    const size_t at = text.find("\n" + name + ": ");
    if (at == std::string::npos) return "(none)";
    const size_t from = at + name.size() + 3;
    return text.substr(from, text.find('\n', from) - from);
}

std::string asString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Gate* gStall = nullptr;

void routes(httplib::Server& server) {
    const auto echoHandler = [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(echo(req), "text/plain");
    };
    server.Get("/echo", echoHandler);
    server.Post("/echo", echoHandler);
    server.Put("/echo", echoHandler);
    server.Get("/cookies", [](const httplib::Request& req, httplib::Response& res) {
        const std::string step = req.get_param_value("step");
        if (step == "1") {
            res.set_header("Set-Cookie", "sid=1; Path=/; HttpOnly");
            res.set_header("Set-Cookie", "uid=2");
        } else if (step == "2") {
            res.set_header("Set-Cookie", "uid=3; Max-Age=60");
            res.set_header("Set-Cookie", "lang=zh");
        } else if (step == "3") {
            res.set_header("Set-Cookie", "sid=deleted; Path=/");
        }
        res.set_content(echo(req), "text/plain");
    });
    server.Get("/redirect",
               [](const httplib::Request&, httplib::Response& res) { res.set_redirect("/echo"); });
    server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::seconds(3));  // longer than a 2-second limit allows
        res.set_content("slow", "text/plain");
    });
    server.Get("/stall", [](const httplib::Request&, httplib::Response& res) {
        gStall->wait();
        res.set_content("late", "text/plain");
    });
    server.Get("/sized", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content(std::string(std::stoul(req.get_param_value("n")), 'x'), "application/octet-stream");
    });
    server.Get("/endless", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
            static const std::string block(1 << 16, 'x');
            return sink.write(block.data(), block.size());
        });
    });
}

class CurlRequestTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        gStall = new Gate();
        server = new TestServer(routes);
        // Trusted through the extra CA file, as a deployment behind its own CA would be.
        setExtraCaFile(server->certificates().caFile);
    }
    static void TearDownTestSuite() {
        gStall->release();
        closeIdleConnections();
        delete server;
        delete gStall;
    }
    static TestServer* server;
};
TestServer* CurlRequestTest::server = nullptr;

TEST_F(CurlRequestTest, UrlAloneSendsTheDefaultLines) {
    const Text url = server->url("/echo");
    Text headers;
    int32_t status = 0;
    const Bytes body = webRequest(url, {.responseHeaders = &headers, .status = &status});
    EXPECT_EQ(status, 200);
    EXPECT_EQ(echoedHeader(body, "Accept"), "*/*");
    EXPECT_EQ(echoedHeader(body, "Referer"), url.str());
    EXPECT_EQ(echoedHeader(body, "Accept-Language"), "zh-cn");
    EXPECT_EQ(echoedHeader(body, "User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
    EXPECT_EQ(echoedHeader(body, "Cookie"), "(none)");
    EXPECT_EQ(echoedHeader(body, "Expect"), "(none)");
    // The header block: lines separated by CR LF, no status line, no trailing empty line.
    EXPECT_THAT(headers.str(), HasSubstr("Content-Type: text/plain\r\n"));
    EXPECT_THAT(headers.str(), Not(HasSubstr("HTTP/1.1")));
    EXPECT_NE(headers.str().substr(headers.str().size() - 2), "\r\n");
}

TEST_F(CurlRequestTest, AffiliateShapeCarriesTheCookieAndFollowsItsChanges) {
    Text cookie = "pin=me; sid=0";
    const auto call = [&](const char* step) {
        return webRequest(server->url(std::string("/cookies?step=") + step),
                          {.method = 0, .cookie = &cookie, .headers = "User-Agent: jxj/3.5.22"});
    };
    Bytes body = call("1");
    EXPECT_EQ(echoedHeader(body, "User-Agent"), "jxj/3.5.22");
    EXPECT_EQ(echoedHeader(body, "Cookie"), "pin=me; sid=0");
    EXPECT_EQ(cookie, "sid=1; uid=2; pin=me");

    body = call("2");
    EXPECT_EQ(echoedHeader(body, "Cookie"), "sid=1; uid=2; pin=me");
    EXPECT_EQ(cookie, "uid=3; lang=zh; sid=1; pin=me");

    body = call("3");
    EXPECT_EQ(cookie, "uid=3; lang=zh; pin=me");

    body = call("none");
    EXPECT_EQ(echoedHeader(body, "Cookie"), "uid=3; lang=zh; pin=me");
    EXPECT_EQ(cookie, "uid=3; lang=zh; pin=me");
}

TEST_F(CurlRequestTest, ResponseCookiesWithoutACookieVariable) {
    Text cookies;
    Text headers;
    webRequest(server->url("/cookies?step=1"), {.responseCookies = &cookies, .responseHeaders = &headers});
    EXPECT_EQ(cookies, "sid=1; uid=2");
    EXPECT_EQ(collectResponseCookies(headers), "sid=1; uid=2");
}

TEST_F(CurlRequestTest, BodiesTravelAsTextOrBytes) {
    Bytes body = webRequest(server->url("/echo"), {.method = kMethodPost, .body = "a=1&b=2"});
    EXPECT_EQ(echoedHeader(body, "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_THAT(asString(body), ::testing::EndsWith("\n\na=1&b=2"));

    const Bytes bytes = {'x', 0, 0xFF, 'y'};
    body = webRequest(server->url("/echo"), {.method = kMethodPut, .body = "ignored", .bodyBytes = bytes});
    EXPECT_EQ(asString(body).substr(asString(body).size() - 6), std::string("\n\nx\0\xFFy", 6));
}

TEST_F(CurlRequestTest, RedirectsAreFollowedUnlessSwitchedOff) {
    int32_t status = 0;
    Bytes body = webRequest(server->url("/redirect"), {.status = &status});
    EXPECT_EQ(status, 200);
    EXPECT_EQ(asString(body).substr(0, 4), "GET\n");

    Text headers;
    body = webRequest(server->url("/redirect"),
                      {.responseHeaders = &headers, .status = &status, .noRedirect = true});
    EXPECT_EQ(status, 302);
    EXPECT_THAT(headers.str(), HasSubstr("Location: /echo"));
}

TEST_F(CurlRequestTest, TimeOutsOfTwoSecondsEndAStalledExchange) {
    int32_t status = -1;
    Text headers = "before";
    const Bytes body = webRequest(server->url("/stall"),
                                  {.responseHeaders = &headers, .status = &status, .timeoutSeconds = 2});
    gStall->release();
    EXPECT_THAT(body, IsEmpty());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers, "");
}

TEST_F(CurlRequestTest, DefaultAndUntouchedTimeOutsOutlastASlowServer) {
    int32_t statusDefault = 0;
    int32_t statusUntouched = 0;
    std::thread untouched(
        [&] { webRequest(server->url("/slow"), {.status = &statusUntouched, .timeoutSeconds = -1}); });
    webRequest(server->url("/slow"), {.status = &statusDefault, .timeoutSeconds = 0});
    untouched.join();
    EXPECT_EQ(statusDefault, 200);
    EXPECT_EQ(statusUntouched, 200);
}

TEST_F(CurlRequestTest, RefusedConnectionIsAFailedExchange) {
    // A port that was just free: nothing listens there.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ::close(fd);

    Text cookie = "a=1;  a=2";
    Text headers = "before";
    int32_t status = -1;
    const Bytes body = webRequest("https://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/",
                                  {.cookie = &cookie, .responseHeaders = &headers, .status = &status});
    EXPECT_THAT(body, IsEmpty());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers, "");
    EXPECT_EQ(cookie, "a=1");
}

TEST_F(CurlRequestTest, UntrustedCertificateIsRefusedUnlessTheCallerOptsIn) {
    TestServer stranger(routes);  // its own CA, which nothing trusts
    int32_t status = -1;
    EXPECT_THAT(webRequest(stranger.url("/echo"), {.status = &status}), IsEmpty());
    EXPECT_EQ(status, 0);

    EXPECT_THAT(webRequest(stranger.url("/echo"), {.status = &status, .acceptInvalidCertificates = true}),
                Not(IsEmpty()));
    EXPECT_EQ(status, 200);

    // Opting in once does not leak into later calls on the same pooled connections.
    EXPECT_THAT(webRequest(stranger.url("/echo"), {.status = &status}), IsEmpty());
    EXPECT_EQ(status, 0);
    closeIdleConnections();
}

TEST_F(CurlRequestTest, ExtraCaFileDecidesWhichPrivateAuthorityIsTrusted) {
    const std::string caFile = extraCaFile();
    TestServer other(routes);  // a server no connection or TLS session exists for yet
    int32_t status = -1;
    setExtraCaFile("/nonexistent/ca.pem");
    EXPECT_THAT(webRequest(other.url("/echo"), {.status = &status}), IsEmpty());
    EXPECT_EQ(status, 0);
    setExtraCaFile(other.certificates().caFile);
    EXPECT_THAT(webRequest(other.url("/echo"), {.status = &status}), Not(IsEmpty()));
    EXPECT_EQ(status, 200);
    setExtraCaFile(caFile);
}

TEST_F(CurlRequestTest, ProxyWithCredentialsTunnelsAndKeepsThePasswordFromTheServer) {
    testing::ConnectProxy proxy("Basic " + encodeBase64(textToBytes("user:s3cret")).str());
    const Text proxyAddress = "127.0.0.1:" + std::to_string(proxy.port());
    int32_t status = 0;
    const Bytes body = webRequest(
        server->url("/echo"),
        {.status = &status, .proxy = proxyAddress, .proxyUser = "user", .proxyPassword = "s3cret"});
    EXPECT_EQ(status, 200);
    EXPECT_EQ(echoedHeader(body, "Proxy-Authorization"), "(none)");
    ASSERT_FALSE(proxy.requestHeads().empty());
    EXPECT_THAT(proxy.requestHeads().back(),
                HasSubstr("CONNECT 127.0.0.1:" + std::to_string(server->port())));

    // Without a user the proxy turns the tunnel down.
    EXPECT_THAT(webRequest(server->url("/echo"), {.status = &status, .proxy = proxyAddress}), IsEmpty());
    EXPECT_EQ(status, 0);
    closeIdleConnections();
}

TEST_F(CurlRequestTest, EndlessBodyStopsAtTheCap) {
    int32_t status = -1;
    EXPECT_THAT(webRequest(server->url("/endless"), {.status = &status}), IsEmpty());
    EXPECT_EQ(status, 0);
    // The handle goes on working afterwards.
    EXPECT_THAT(webRequest(server->url("/echo"), {.status = &status}), Not(IsEmpty()));
    EXPECT_EQ(status, 200);
}

TEST_F(CurlRequestTest, BodyCapBoundary) {
    auto request = CurlRequest::create(1000);
    ASSERT_NE(request, nullptr);
    int32_t status = -1;
    EXPECT_EQ(
        webRequest(server->url("/sized?n=1000"), {.status = &status, .requestObject = request.get()}).size(),
        1000u);
    EXPECT_EQ(status, 200);
    EXPECT_THAT(webRequest(server->url("/sized?n=1001"), {.status = &status, .requestObject = request.get()}),
                IsEmpty());
    EXPECT_EQ(status, 0);
}

TEST_F(CurlRequestTest, HeaderInjectionIsRejected) {
    const Bytes body = webRequest(server->url("/echo"), {.headers = "X-A: 1\nX-Injected: 2"});
    EXPECT_EQ(echoedHeader(body, "X-Injected"), "(none)");
    EXPECT_EQ(echoedHeader(body, "X-A"), "(none)");
    EXPECT_EQ(echoedHeader(body, "Accept"), "*/*");  // the other lines still go out
}

TEST_F(CurlRequestTest, ManyThreadsAtOnce) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 25;
    std::vector<int> good(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const std::string tag = std::to_string(t) + "-" + std::to_string(i);
                int32_t status = 0;
                const Bytes body =
                    webRequest(server->url("/echo"), {.headers = "X-Tag: " + tag, .status = &status});
                if (status == 200 && echoedHeader(body, "X-Tag") == tag) ++good[static_cast<size_t>(t)];
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(good[static_cast<size_t>(t)], kPerThread) << "thread " << t;
}

}  // namespace
}  // namespace jdsm
