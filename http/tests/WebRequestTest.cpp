#include "http/WebRequest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "http/tests/RecordingRequest.h"

namespace jdsm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::RecordingRequest;

constexpr const char* kUrl = "https://shop.test/item";
constexpr const char* kUserAgent = "header User-Agent=Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// Runs webRequest over the recording fake and keeps what it recorded.
class WebRequestTest : public ::testing::Test {
  protected:
    Bytes run(const Text& url, const WebRequestOptions& options = {}) {
        return webRequestWith([this] { return std::make_unique<RecordingRequest>(log, response); }, url,
                              options);
    }

    // The recorded lines that start with `prefix`.
    std::vector<std::string> calls(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& line : log) {
            if (line.rfind(prefix, 0) == 0) out.push_back(line);
        }
        return out;
    }

    std::vector<std::string> log;
    RecordingRequest::Response response;
};

TEST_F(WebRequestTest, UrlAloneRunsTheDefaultExchange) {
    response = {textToBytes("body"), "Server: x\r\nSet-Cookie: a=1", 200};
    EXPECT_EQ(run(kUrl), textToBytes("body"));
    EXPECT_THAT(log,
                ElementsAre("timeouts 15000 15000 15000 15000", std::string("open GET ") + kUrl,
                            "verify certificates", "header Accept=*/*", std::string("header Referer=") + kUrl,
                            "header Accept-Language=zh-cn", kUserAgent, "send text "));
}

TEST_F(WebRequestTest, MethodIndexOutsideTheTableSendsGet) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "GET"},   {1, "POST"},    {2, "HEAD"}, {3, "PUT"}, {4, "OPTIONS"}, {5, "DELETE"},
        {6, "TRACE"}, {7, "CONNECT"}, {8, "GET"},  {9, "GET"}, {-3, "GET"}};
    for (const auto& [method, name] : cases) {
        log.clear();
        run(kUrl, {.method = method});
        EXPECT_THAT(calls("open"), ElementsAre(std::string("open ") + name + " " + kUrl)) << method;
        EXPECT_EQ(calls("header Content-Type").size(), method == 1 ? 1u : 0u) << method;
    }
}

TEST_F(WebRequestTest, PostGetsTheFiveDefaultLinesInOrder) {
    run(kUrl, {.method = kMethodPost});
    EXPECT_THAT(calls("header"), ElementsAre("header Accept=*/*", std::string("header Referer=") + kUrl,
                                             "header Accept-Language=zh-cn", kUserAgent,
                                             "header Content-Type=application/x-www-form-urlencoded"));
}

TEST_F(WebRequestTest, MarkersAnywhereInAnyCaseSuppressDefaults) {
    struct Case {
        const char* url;
        const char* headers;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        // A lower-case name suppresses the default and is sent capitalised.
        {kUrl,
         "user-agent: jxj/3.5.22",
         {"header User-Agent=jxj/3.5.22", "header Accept=*/*", std::string("header Referer=") + kUrl,
          "header Accept-Language=zh-cn"}},
        // A name that merely ends in the Accept marker counts as one.
        {kUrl,
         "X-Accept: a",
         {"header X-Accept=a", std::string("header Referer=") + kUrl, "header Accept-Language=zh-cn",
          kUserAgent}},
        // The URL of the Referer line holds the user-agent marker, so no default user agent follows ...
        {"https://h/?q=User-Agent:1",
         "",
         {"header Accept=*/*", "header Referer=https://h/?q=User-Agent:1", "header Accept-Language=zh-cn"}},
        // ... but the Accept-Language search looks at the caller's text only.
        {"https://h/?q=Accept-Language:1",
         "",
         {"header Accept=*/*", "header Referer=https://h/?q=Accept-Language:1",
          "header Accept-Language=zh-cn", kUserAgent}},
    };
    for (const Case& c : cases) {
        log.clear();
        run(c.url, {.headers = c.headers});
        EXPECT_EQ(calls("header"), c.sent) << c.headers;
    }
}

TEST_F(WebRequestTest, TimeoutSecondsGiveMillisecondsForAllFourPhases) {
    const std::pair<int32_t, const char*> cases[] = {
        {0, "timeouts 15000 15000 15000 15000"},
        {-5, "timeouts 15000 15000 15000 15000"},
        {2, "timeouts 2000 2000 2000 2000"},
        {3000000, "timeouts 2147483647 2147483647 2147483647 2147483647"},  // saturates
    };
    for (const auto& [seconds, expected] : cases) {
        log.clear();
        run(kUrl, {.timeoutSeconds = seconds});
        EXPECT_THAT(calls("timeouts"), ElementsAre(expected)) << seconds;
    }
    log.clear();
    run(kUrl, {.timeoutSeconds = -1});
    EXPECT_THAT(calls("timeouts"), IsEmpty());
}

TEST_F(WebRequestTest, ProxyCredentialsAndCookieComeBeforeTheHeaderLines) {
    Text cookie = "sid=1";
    run(kUrl, {.cookie = &cookie,
               .headers = "X-One: 1",
               .proxy = "127.0.0.1:3128",
               .proxyUser = "user",
               .proxyPassword = "pa:ss",
               .addDefaultHeaders = false});
    EXPECT_THAT(log, ElementsAre("timeouts 15000 15000 15000 15000", "proxy 127.0.0.1:3128",
                                 std::string("open GET ") + kUrl, "verify certificates",
                                 "credentials user pa:ss proxy",
                                 "header Proxy-Authorization=Basic dXNlcjpwYTpzcw==", "header Cookie=sid=1",
                                 "header X-One=1", "send text "));
}

TEST_F(WebRequestTest, CredentialsNeedAProxyAndAUser) {
    run(kUrl, {.proxy = "p:1"});
    EXPECT_THAT(calls("proxy"), ElementsAre("proxy p:1"));
    EXPECT_THAT(calls("credentials"), IsEmpty());
    EXPECT_THAT(calls("header Proxy-Authorization"), IsEmpty());

    log.clear();
    run(kUrl, {.proxyUser = "u", .proxyPassword = "p"});  // no proxy: nothing
    EXPECT_THAT(calls("credentials"), IsEmpty());

    log.clear();
    run(kUrl, {.proxy = "p:1", .proxyUser = "u", .proxyPassword = "p", .credentialsTarget = 0});
    EXPECT_THAT(calls("credentials"), ElementsAre("credentials u p server"));
    EXPECT_THAT(calls("header Proxy-Authorization"), IsEmpty());
}

TEST_F(WebRequestTest, CookieMarkerIsStrippedAndTheMergeRewritesTheVariable) {
    response = {{}, "Set-Cookie: b=3; Path=/\r\nSet-Cookie: c=4", 200};

    Text cookie = "Cookie: a=1; b=2";
    Text responseCookies = "old";
    run(kUrl, {.cookie = &cookie, .responseCookies = &responseCookies, .mergeCookies = false});
    EXPECT_THAT(calls("header Cookie"), ElementsAre("header Cookie= a=1; b=2"));  // leading space kept
    EXPECT_EQ(cookie, " a=1; b=2");
    EXPECT_EQ(responseCookies, "b=3; c=4");

    log.clear();
    cookie = "COOKIE: a=1; b=2";
    run(kUrl, {.cookie = &cookie, .responseCookies = &responseCookies});
    EXPECT_THAT(calls("header Cookie"), ElementsAre("header Cookie= a=1; b=2"));
    EXPECT_EQ(cookie, "b=3; c=4; a=1");
    EXPECT_EQ(responseCookies, "b=3; c=4; a=1");
}

TEST_F(WebRequestTest, PassedEmptyCookieDiffersFromAnOmittedOne) {
    response = {{}, "Set-Cookie: s=1", 200};
    Text cookie;
    Text responseCookies;
    run(kUrl, {.cookie = &cookie, .responseCookies = &responseCookies});
    EXPECT_THAT(calls("header Cookie"), ElementsAre("header Cookie="));
    EXPECT_EQ(cookie, "s=1");

    log.clear();
    run(kUrl, {.responseCookies = &responseCookies});
    EXPECT_THAT(calls("header Cookie"), IsEmpty());
    EXPECT_EQ(responseCookies, "s=1");
}

TEST_F(WebRequestTest, KeepAliveLineIsSkippedOnlyAmongSeveralLines) {
    run(kUrl, {.headers = "Connection: keep-alive", .addDefaultHeaders = false});
    EXPECT_THAT(calls("header"), ElementsAre("header Connection=keep-alive"));

    log.clear();
    run(kUrl, {.headers = "Connection: keep-alive\r\nConnection: close\r\nX: 1", .addDefaultHeaders = false});
    EXPECT_THAT(calls("header"), ElementsAre("header Connection=close", "header X=1"));

    // Without normalisation names keep their case, and the empty piece that the leading CR LF of the
    // default lines leaves is skipped.
    log.clear();
    run(kUrl, {.headers = "x-low: 1", .addDefaultHeaders = false, .normalizeHeaderNames = false});
    EXPECT_THAT(calls("header"), ElementsAre("header x-low=1"));
    log.clear();
    run(kUrl, {.normalizeHeaderNames = false});
    EXPECT_THAT(calls("header"), ElementsAre("header Accept=*/*", std::string("header Referer=") + kUrl,
                                             "header Accept-Language=zh-cn", kUserAgent));
}

TEST_F(WebRequestTest, BytesBodyWinsOverTheText) {
    run(kUrl, {.method = kMethodPost, .body = "text", .bodyBytes = {'b', 0, 'y'}});
    EXPECT_THAT(calls("send"), ElementsAre(std::string("send bytes b\0y", 14)));
    log.clear();
    run(kUrl, {.method = kMethodPost, .body = "text"});
    EXPECT_THAT(calls("send"), ElementsAre("send text text"));
}

TEST_F(WebRequestTest, RedirectAndCertificateSwitches) {
    run(kUrl, {.noRedirect = true, .acceptInvalidCertificates = true});
    EXPECT_THAT(calls("no redirects"), ElementsAre("no redirects"));
    EXPECT_THAT(calls("accept"), ElementsAre("accept invalid certificates"));
}

TEST_F(WebRequestTest, NoRequestObjectLeavesEveryVariableAlone) {
    Text cookie = "Cookie: a=1";
    Text headers = "before";
    Text cookies = "before";
    int32_t status = 77;
    const Bytes body = webRequestWith(
        [] { return std::unique_ptr<RequestObject>(); }, kUrl,
        {.cookie = &cookie, .responseCookies = &cookies, .responseHeaders = &headers, .status = &status});
    EXPECT_THAT(body, IsEmpty());
    EXPECT_EQ(cookie, "Cookie: a=1");
    EXPECT_EQ(headers, "before");
    EXPECT_EQ(cookies, "before");
    EXPECT_EQ(status, 77);
}

TEST_F(WebRequestTest, FailedExchangeEmptiesTheResultsAndStillTidiesTheCookie) {
    response = {};  // what a request object gives after a failure
    Text cookie = "a=1; a=2;  b=3";
    Text headers = "before";
    Text cookies = "before";
    int32_t status = 77;
    EXPECT_THAT(
        run(kUrl,
            {.cookie = &cookie, .responseCookies = &cookies, .responseHeaders = &headers, .status = &status}),
        IsEmpty());
    EXPECT_EQ(headers, "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(cookie, "a=1; b=3");
    EXPECT_EQ(cookies, "a=1; b=3");
}

TEST_F(WebRequestTest, PassedEmptyRequestObjectFailsEveryStep) {
    Text cookie = "a=1";
    int32_t status = 77;
    Text headers = "before";
    const Bytes body = run(
        kUrl, {.cookie = &cookie, .responseHeaders = &headers, .status = &status, .requestObject = nullptr});
    EXPECT_THAT(body, IsEmpty());
    EXPECT_THAT(log, IsEmpty());  // the maker was not asked either
    EXPECT_EQ(status, 0);
    EXPECT_EQ(headers, "");
    EXPECT_EQ(cookie, "a=1");
}

TEST_F(WebRequestTest, CallersRequestObjectIsUsedInsteadOfANewOne) {
    std::vector<std::string> ownLog;
    RecordingRequest own(ownLog, {textToBytes("mine"), "", 204});
    int32_t status = 0;
    EXPECT_EQ(run(kUrl, {.status = &status, .requestObject = &own}), textToBytes("mine"));
    EXPECT_THAT(log, IsEmpty());
    EXPECT_EQ(status, 204);
    EXPECT_EQ(ownLog.front(), "timeouts 15000 15000 15000 15000");
}

}  // namespace
}  // namespace jdsm
