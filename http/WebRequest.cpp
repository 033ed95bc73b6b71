#include "http/WebRequest.h"

#include <array>
#include <limits>

#include "http/CurlRequest.h"
#include "http/HeaderRules.h"

namespace jdsm {

namespace {

constexpr std::array<std::string_view, 8> kMethodNames = {"GET",     "POST",   "HEAD",  "PUT",
                                                          "OPTIONS", "DELETE", "TRACE", "CONNECT"};
constexpr int32_t kDefaultTimeoutMs = 15000;
constexpr std::string_view kCrLf = "\r\n";

// Forwards to the request object, or fails every operation when there is none (a caller passed an
// empty object), so the routine runs its steps unchanged and ends as a failed exchange.
class Request {
  public:
    explicit Request(RequestObject* object) : object_(object) {}

    void setTimeouts(int32_t ms) {
        if (object_) object_->setTimeouts(ms, ms, ms, ms);
    }
    void setProxy(std::string_view proxy) {
        if (object_) object_->setProxy(proxy);
    }
    void open(std::string_view method, std::string_view url) {
        if (object_) object_->open(method, url);
    }
    void disableRedirects() {
        if (object_) object_->disableRedirects();
    }
    void setAcceptInvalidCertificates(bool accept) {
        if (object_) object_->setAcceptInvalidCertificates(accept);
    }
    void setCredentials(std::string_view user, std::string_view password, CredentialsTarget target) {
        if (object_) object_->setCredentials(user, password, target);
    }
    void setRequestHeader(std::string_view name, std::string_view value) {
        if (object_) object_->setRequestHeader(name, value);
    }
    void send(std::string_view body) {
        if (object_) object_->send(body);
    }
    void send(const Bytes& body) {
        if (object_) object_->send(body);
    }
    Bytes takeResponseBody() { return object_ ? object_->takeResponseBody() : Bytes{}; }
    Text allResponseHeaders() { return object_ ? object_->allResponseHeaders() : Text{}; }
    int32_t status() { return object_ ? object_->status() : 0; }

  private:
    RequestObject* object_;
};

int32_t timeoutMilliseconds(int32_t seconds) {
    if (seconds < 1) return kDefaultTimeoutMs;
    // Products beyond the 32-bit range saturate: a huge time-out stays huge instead of wrapping.
    const double ms = static_cast<double>(seconds) * 1000.0;
    if (ms >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(ms);
}

// Appends the default lines the caller's text lacks. The markers are searched anywhere and in any case,
// so a name that merely contains one (X-Accept:) or a URL holding "User-Agent:" suppresses its line.
void addDefaultHeaderLines(Text& working, std::string_view callerHeaders, std::string_view url,
                           int32_t method) {
    if (!contains(working, "Accept:", true)) working += "\r\nAccept: */*";
    if (!contains(working, "Referer:", true)) {
        working += "\r\nReferer: ";
        working += url;
    }
    // Searched in the caller's text only: the Referer line just added may hold the marker in its URL.
    if (!contains(callerHeaders, "Accept-Language:", true)) working += "\r\nAccept-Language: zh-cn";
    if (!contains(working, "User-Agent:", true)) {
        working += "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
    }
    if (method == kMethodPost && !contains(working, "Content-Type:", true)) {
        working += "\r\nContent-Type: application/x-www-form-urlencoded";
    }
}

void setHeaderLines(Request& request, const Text& working) {
    if (!contains(working, kCrLf)) {
        request.setRequestHeader(headerLineName(working), headerLineValue(working));
        return;
    }
    for (const Text& line : split(working, kCrLf)) {
        if (line.empty()) continue;
        const Text name = headerLineName(line);
        const Text value = headerLineValue(line);
        // The client manages its own connections; a caller's keep-alive line is left to it.
        if (name == "Connection" && value == "keep-alive") continue;
        request.setRequestHeader(name, value);
    }
}

}  // namespace

Bytes webRequestWith(const RequestObjectMaker& makeRequest, const Text& url,
                     const WebRequestOptions& options) {
    Text working = options.headers;
    const int32_t method = (options.method < 0 || options.method > 7) ? kMethodGet : options.method;

    std::unique_ptr<RequestObject> owned;
    RequestObject* object = nullptr;
    if (options.requestObject) {
        object = *options.requestObject;
    } else {
        owned = makeRequest ? makeRequest() : nullptr;
        if (!owned) return {};
        object = owned.get();
    }
    Request request(object);

    if (options.timeoutSeconds != -1) request.setTimeouts(timeoutMilliseconds(options.timeoutSeconds));
    if (!options.proxy.empty()) request.setProxy(options.proxy);
    request.open(kMethodNames[static_cast<size_t>(method)], url);
    if (options.noRedirect) request.disableRedirects();
    request.setAcceptInvalidCertificates(options.acceptInvalidCertificates);

    if (options.addDefaultHeaders) addDefaultHeaderLines(working, options.headers, url, method);
    if (options.normalizeHeaderNames) working = normalizeHeaderText(working);

    if (!options.proxy.empty() && !options.proxyUser.empty()) {
        const auto target =
            options.credentialsTarget == 1 ? CredentialsTarget::proxy : CredentialsTarget::server;
        request.setCredentials(options.proxyUser, options.proxyPassword, target);
        if (options.credentialsTarget == 1) {
            const Text credentials = options.proxyUser + ":" + options.proxyPassword;
            request.setRequestHeader("Proxy-Authorization",
                                     "Basic " + encodeBase64(textToBytes(credentials)));
        }
    }

    if (options.cookie) {
        Text& cookie = *options.cookie;
        if (!cookie.empty() && contains(cookie, "Cookie:", true))
            cookie = replace(cookie, "Cookie:", "", 1, -1, false);
        request.setRequestHeader("Cookie", cookie);
    }

    setHeaderLines(request, working);

    if (!options.bodyBytes.empty()) {
        request.send(options.bodyBytes);
    } else {
        request.send(options.body.view());
    }

    Bytes body = request.takeResponseBody();
    const Text headers = request.allResponseHeaders();
    if (options.responseHeaders) *options.responseHeaders = headers;
    if (options.status) *options.status = request.status();

    Text newCookies = collectResponseCookies(headers);
    if (options.mergeCookies && options.cookie) {
        const Text merged = mergeCookieText(*options.cookie, newCookies);
        if (options.responseCookies) *options.responseCookies = merged;
    } else if (options.responseCookies) {
        *options.responseCookies = newCookies;
    }
    return body;
}

Bytes webRequest(const Text& url, const WebRequestOptions& options) {
    return webRequestWith(makeCurlRequest, url, options);
}

}  // namespace jdsm
