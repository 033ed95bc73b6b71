#pragma once
// webRequest: the program's one road to the network. One synchronous HTTP(S) exchange on the calling
// thread; the response body comes back as bytes, empty when the exchange fails. Nothing is raised.
//
//     Bytes page = webRequest(url);
//     Bytes reply = webRequest(url, {.method = 0, .cookie = &clientCookie, .headers = "User-Agent:
//     jxj/3.5.22"});
//
// Unless switched off, the request carries default Accept, Referer (the URL), Accept-Language,
// User-Agent and, for POST, Content-Type lines wherever the caller's headers lack them, and the header
// names are capitalised word by word. Server certificates are verified against the system store plus
// the extra CA file of HttpSettings.h.

#include <cstdint>
#include <optional>

#include "http/RequestObject.h"
#include "text/Text.h"

namespace jdsm {

// Methods by index; any other index sends GET.
enum : int32_t {
    kMethodGet = 0,
    kMethodPost = 1,
    kMethodHead = 2,
    kMethodPut = 3,
    kMethodOptions = 4,
    kMethodDelete = 5,
    kMethodTrace = 6,
    kMethodConnect = 7,
};

// Everything but the URL, in the order the arguments have always had. Pointers are the caller's
// variables: nullptr means "not passed"; a Text* to an empty text is a passed, empty value.
struct WebRequestOptions {
    int32_t method = kMethodGet;
    Text body;                        // sent as text when bodyBytes is empty
    Text* cookie = nullptr;           // read, sent as the Cookie header, replaced by the merged cookies
    Text* responseCookies = nullptr;  // receives the pairs the response sets (merged, with cookie)
    Text headers;                     // extra "Name: value" lines separated by CR LF
    Text* responseHeaders = nullptr;  // receives the response header lines, CR LF separated
    int32_t* status = nullptr;        // receives the HTTP status; 0 when the exchange failed
    bool noRedirect = false;          // true: a redirect response is returned as it is
    Bytes bodyBytes;                  // sent instead of body when not empty
    Text proxy;                       // "host:port"; empty: no proxy
    int32_t timeoutSeconds = 0;       // per phase; below 1: 15 s; -1: the request object's own
    Text proxyUser;
    Text proxyPassword;
    int32_t credentialsTarget = 1;  // 1: the proxy; 0: the server
    // A request object of the caller's, used instead of a new one; a passed nullptr makes every
    // operation fail, so the call ends as a failed exchange.
    std::optional<RequestObject*> requestObject;
    bool mergeCookies = true;  // merge the response cookies into *cookie
    bool addDefaultHeaders = true;
    bool normalizeHeaderNames = true;
    // Accept server certificates that fail verification. Off unless a caller knowingly opts in: the
    // affiliate request carries the user's login cookie, which a man in the middle could take.
    bool acceptInvalidCertificates = false;
};

Bytes webRequest(const Text& url, const WebRequestOptions& options = {});

// The same exchange over request objects from `makeRequest` instead of the libcurl ones.
Bytes webRequestWith(const RequestObjectMaker& makeRequest, const Text& url,
                     const WebRequestOptions& options = {});

}  // namespace jdsm
