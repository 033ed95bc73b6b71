#include "http/CurlRequest.h"

#include <curl/curl.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "http/HttpSettings.h"

namespace jdsm {

namespace {

constexpr int32_t kDefaultPhaseMs = 30000;
constexpr long kMaxRedirects = 10;
constexpr size_t kMaxIdleHandles = 64;

// Process-wide curl state: global initialisation, the share object for TLS sessions and DNS, and the
// pool of idle easy handles (each keeping its own live connections).
class CurlShared {
  public:
    static CurlShared& instance() {
        // Never destroyed: detached threads may still be inside a request while the process exits.
        static CurlShared* shared = new CurlShared();
        return *shared;
    }

    CURLSH* share() const { return share_; }

    CURL* acquire() {
        {
            const std::lock_guard lock(poolMutex_);
            if (!idle_.empty()) {
                CURL* easy = idle_.back();
                idle_.pop_back();
                return easy;
            }
        }
        return curl_easy_init();
    }

    void closeIdle() {
        std::vector<CURL*> idle;
        {
            const std::lock_guard lock(poolMutex_);
            idle.swap(idle_);
        }
        for (CURL* easy : idle)
            curl_easy_cleanup(easy);
    }

    void release(CURL* easy) {
        // Options point into the finished request; reset drops them but keeps the live connections.
        curl_easy_reset(easy);
        {
            const std::lock_guard lock(poolMutex_);
            if (idle_.size() < kMaxIdleHandles) {
                idle_.push_back(easy);
                return;
            }
        }
        curl_easy_cleanup(easy);
    }

  private:
    CurlShared() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        share_ = curl_share_init();
        if (share_) {
            curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &CurlShared::lock);
            curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &CurlShared::unlock);
            curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
            curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
            curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        }
    }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<CurlShared*>(self)->locks_[index(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<CurlShared*>(self)->locks_[index(data)].unlock();
    }
    static size_t index(curl_lock_data data) {
        const auto i = static_cast<size_t>(data);
        return i < CURL_LOCK_DATA_LAST ? i : 0;
    }

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;  // one per kind of shared data
    std::mutex poolMutex_;
    std::vector<CURL*> idle_;
};

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

bool appendTo(Slist& list, const std::string& line) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) return false;
    (void)list.release();
    list.reset(grown);
    return true;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

// A name must be an HTTP token and a value must not break the line: anything else could smuggle
// further header lines into the request.
bool validHeaderName(std::string_view name) {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F && c != ':' && c != '(' && c != ')' && c != ',' && c != ';' && c != '"';
    });
}

bool validHeaderValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

CURLcode addExtraCa(CURL*, void* sslContext, void* certificates) {
    X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
    for (void* cert : static_cast<const detail::ExtraCaCertificates*>(certificates)->certificates) {
        X509_STORE_add_cert(store, static_cast<X509*>(cert));  // a certificate already there is fine
    }
    return CURLE_OK;
}

}  // namespace

struct CurlRequest::State {
    CURL* easy = nullptr;
    size_t maxBody = kMaxBodyBytes;

    // Object settings: they outlive one exchange.
    int32_t resolveMs = kDefaultPhaseMs, connectMs = kDefaultPhaseMs;
    int32_t sendMs = kDefaultPhaseMs, receiveMs = kDefaultPhaseMs;
    std::string proxy;

    // The opened exchange.
    bool opened = false;
    std::string method, url;
    bool followRedirects = true;
    bool acceptInvalidCertificates = false;
    bool hasCredentials = false;
    CredentialsTarget credentialsTarget = CredentialsTarget::proxy;
    std::string user, password;
    std::vector<std::pair<std::string, std::string>> headers;

    // The response.
    Bytes body;
    std::string headerBlock;
    int32_t status = 0;

    void clearResponse() {
        body.clear();
        headerBlock.clear();
        status = 0;
    }
};

namespace {

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<CurlRequest::State*>(user);
    const size_t n = size * count;
    if (state->body.size() + n > state->maxBody) return 0;  // aborts the transfer
    if (state->body.empty()) {
        curl_off_t length = -1;
        if (curl_easy_getinfo(state->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
            length > 0) {
            state->body.reserve(std::min(static_cast<size_t>(length), state->maxBody));
        }
    }
    state->body.insert(state->body.end(), reinterpret_cast<uint8_t*>(data),
                       reinterpret_cast<uint8_t*>(data) + n);
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* state = static_cast<CurlRequest::State*>(user);
    const size_t n = size * count;
    std::string_view line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    // A status line starts the headers of a new response (after a redirect or an interim 1xx); only the
    // final response's lines are kept, and the status line itself is not one of them.
    if (line.substr(0, 5) == "HTTP/") {
        state->headerBlock.clear();
        return n;
    }
    if (line.empty()) return n;
    if (!state->headerBlock.empty()) state->headerBlock += "\r\n";
    state->headerBlock += line;
    return n;
}

}  // namespace

CurlRequest::CurlRequest(std::unique_ptr<State> state) : state_(std::move(state)) {}

CurlRequest::~CurlRequest() {
    if (state_ && state_->easy) CurlShared::instance().release(state_->easy);
}

std::unique_ptr<CurlRequest> CurlRequest::create(size_t maxBodyBytes) {
    CURL* easy = CurlShared::instance().acquire();
    if (!easy) return nullptr;
    auto state = std::make_unique<State>();
    state->easy = easy;
    state->maxBody = maxBodyBytes;
    return std::unique_ptr<CurlRequest>(new CurlRequest(std::move(state)));
}

std::unique_ptr<RequestObject> makeCurlRequest() {
    return CurlRequest::create();
}

void closeIdleConnections() {
    CurlShared::instance().closeIdle();
}

bool CurlRequest::setTimeouts(int32_t resolveMs, int32_t connectMs, int32_t sendMs, int32_t receiveMs) {
    if (resolveMs < 0 || connectMs < 0 || sendMs < 0 || receiveMs < 0) return false;
    state_->resolveMs = resolveMs;
    state_->connectMs = connectMs;
    state_->sendMs = sendMs;
    state_->receiveMs = receiveMs;
    return true;
}

bool CurlRequest::setProxy(std::string_view proxy) {
    if (proxy.find('\0') != std::string_view::npos) return false;
    state_->proxy = proxy;
    return true;
}

bool CurlRequest::open(std::string_view method, std::string_view url) {
    State& s = *state_;
    s.opened = false;
    s.headers.clear();
    s.followRedirects = true;
    s.acceptInvalidCertificates = false;
    s.hasCredentials = false;
    s.clearResponse();
    if (method.empty() || url.empty() || url.find('\0') != std::string_view::npos) return false;
    s.method = method;
    s.url = url;
    s.opened = true;
    return true;
}

bool CurlRequest::disableRedirects() {
    if (!state_->opened) return false;
    state_->followRedirects = false;
    return true;
}

bool CurlRequest::setAcceptInvalidCertificates(bool accept) {
    if (!state_->opened) return false;
    state_->acceptInvalidCertificates = accept;
    return true;
}

bool CurlRequest::setCredentials(std::string_view user, std::string_view password, CredentialsTarget target) {
    if (!state_->opened) return false;
    state_->hasCredentials = true;
    state_->credentialsTarget = target;
    state_->user = user;
    state_->password = password;
    return true;
}

bool CurlRequest::setRequestHeader(std::string_view name, std::string_view value) {
    if (!state_->opened || !validHeaderName(name) || !validHeaderValue(value)) return false;
    for (auto& [existing, existingValue] : state_->headers) {
        if (equalsIgnoreCase(existing, name)) {
            existingValue = value;
            return true;
        }
    }
    state_->headers.emplace_back(name, value);
    return true;
}

bool CurlRequest::send(std::string_view body) {
    return perform(reinterpret_cast<const uint8_t*>(body.data()), body.size());
}

bool CurlRequest::send(const Bytes& body) {
    return perform(body.data(), body.size());
}

Bytes CurlRequest::takeResponseBody() {
    return std::exchange(state_->body, {});
}

Text CurlRequest::allResponseHeaders() {
    return Text(state_->headerBlock);
}

int32_t CurlRequest::status() {
    return state_->status;
}

bool CurlRequest::perform(const uint8_t* body, size_t size) {
    State& s = *state_;
    s.clearResponse();
    if (!s.opened) return false;
    CURL* easy = s.easy;
    curl_easy_reset(easy);

    bool ok = true;
    const auto set = [&](CURLoption option, auto value) {
        ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK;
    };

    set(CURLOPT_URL, s.url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_NOSIGNAL, 1L);
    if (CURLSH* share = CurlShared::instance().share()) set(CURLOPT_SHARE, share);
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_FOLLOWLOCATION, s.followRedirects ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, kMaxRedirects);

    const int64_t connectMs = int64_t{s.resolveMs} + s.connectMs;
    const int64_t stallMs = std::max(s.sendMs, s.receiveMs);
    if (s.resolveMs > 0 && s.connectMs > 0) set(CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connectMs));
    if (s.sendMs > 0 && s.receiveMs > 0) {
        set(CURLOPT_LOW_SPEED_LIMIT, 1L);
        set(CURLOPT_LOW_SPEED_TIME, static_cast<long>((stallMs + 999) / 1000));
    }
    if (s.resolveMs > 0 && s.connectMs > 0 && s.sendMs > 0 && s.receiveMs > 0) {
        set(CURLOPT_TIMEOUT_MS, static_cast<long>(connectMs + s.sendMs + s.receiveMs));
    }

    // An empty proxy also keeps curl from taking one from the environment: no proxy means none.
    set(CURLOPT_PROXY, s.proxy.c_str());
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

    if (s.hasCredentials) {
        const bool forProxy = s.credentialsTarget == CredentialsTarget::proxy;
        set(forProxy ? CURLOPT_PROXYUSERNAME : CURLOPT_USERNAME, s.user.c_str());
        set(forProxy ? CURLOPT_PROXYPASSWORD : CURLOPT_PASSWORD, s.password.c_str());
    }

    std::shared_ptr<const detail::ExtraCaCertificates> extraCa;
    if (s.acceptInvalidCertificates) {
        set(CURLOPT_SSL_VERIFYPEER, 0L);
        set(CURLOPT_SSL_VERIFYHOST, 0L);
    } else {
        set(CURLOPT_SSL_VERIFYPEER, 1L);
        set(CURLOPT_SSL_VERIFYHOST, 2L);
        // The system store as one bundle file rather than a hashed directory: with a directory curl
        // parses the whole bundle again for every new connection (tens of milliseconds); with the file
        // alone it keeps the parsed store per handle.
        set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
        extraCa = detail::extraCaCertificates();
        if (extraCa) {
            set(CURLOPT_SSL_CTX_FUNCTION, &addExtraCa);
            set(CURLOPT_SSL_CTX_DATA, const_cast<detail::ExtraCaCertificates*>(extraCa.get()));
        }
    }

    // Proxy-Authorization goes to the proxy only: through a tunnel it would hand the proxy password to
    // the origin server.
    Slist serverHeaders, proxyHeaders;
    for (const auto& [name, value] : s.headers) {
        const std::string line =
            value.empty() ? name + ";" : name + ": " + value;  // "Name;" sends an empty value
        ok = ok &&
             appendTo(equalsIgnoreCase(name, "Proxy-Authorization") ? proxyHeaders : serverHeaders, line);
    }
    // No "Expect: 100-continue" round trip before a body.
    ok = ok && appendTo(serverHeaders, "Expect:");
    set(CURLOPT_HTTPHEADER, serverHeaders.get());
    if (proxyHeaders) {
        set(CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
        set(CURLOPT_PROXYHEADER, proxyHeaders.get());
    }

    if (s.method == "HEAD") {
        set(CURLOPT_NOBODY, 1L);
    } else if (s.method == "GET" && size == 0) {
        set(CURLOPT_HTTPGET, 1L);
    } else {
        if (s.method == "POST") {
            set(CURLOPT_POST, 1L);
        } else {
            set(CURLOPT_CUSTOMREQUEST, s.method.c_str());
        }
        if (size > 0 || s.method == "POST") {
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(size));
            set(CURLOPT_POSTFIELDS, size > 0 ? reinterpret_cast<const char*>(body) : "");
        }
    }

    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(s.maxBody));
    set(CURLOPT_WRITEFUNCTION, &onBody);
    set(CURLOPT_WRITEDATA, &s);
    set(CURLOPT_HEADERFUNCTION, &onHeader);
    set(CURLOPT_HEADERDATA, &s);

    long status = 0;
    ok = ok && curl_easy_perform(easy) == CURLE_OK &&
         curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK;
    // Nothing of the exchange may point into this call's locals once it returns.
    curl_easy_reset(easy);
    if (!ok) {
        s.clearResponse();
        return false;
    }
    s.status = static_cast<int32_t>(status);
    return true;
}

}  // namespace jdsm
