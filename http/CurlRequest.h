#pragma once
// The request object on libcurl.
//
// Time-outs: curl has no separate resolve, send and receive limits, so the four phases map as follows.
//   connect   = resolve + connect     (curl's connect phase covers resolution, TCP, proxy CONNECT and TLS)
//   stall     = max(send, receive)    (the exchange fails when under 1 byte/s moves for that long,
//                                      rounded up to whole seconds)
//   overall   = sum of all four        (so a server trickling bytes cannot hold a thread for ever)
// A phase of 0 lifts its limit. Until setTimeouts is called each phase is 30 s.
//
// Connections: handles come from a process-wide pool and keep their live connections between requests,
// so keep-alive connections are reused across calls and threads; TLS sessions and DNS answers are
// shared between all handles, so a new connection resumes a session instead of a full handshake.
// (Sharing the connection cache itself across threads is not supported by libcurl.)
//
// The exchange speaks HTTP/1.1: header names then arrive as the server wrote them, which the
// case-sensitive Set-Cookie rule depends on. Only http and https URLs are followed.

#include <cstddef>
#include <memory>

#include "http/RequestObject.h"

namespace jdsm {

class CurlRequest final : public RequestObject {
  public:
    // A body larger than this ends the exchange as a failed one, so an endless stream cannot exhaust
    // memory.
    static constexpr size_t kMaxBodyBytes = size_t{32} << 20;

    // nullptr when libcurl cannot provide a handle.
    static std::unique_ptr<CurlRequest> create(size_t maxBodyBytes = kMaxBodyBytes);
    ~CurlRequest() override;
    CurlRequest(const CurlRequest&) = delete;
    CurlRequest& operator=(const CurlRequest&) = delete;

    bool setTimeouts(int32_t resolveMs, int32_t connectMs, int32_t sendMs, int32_t receiveMs) override;
    bool setProxy(std::string_view proxy) override;
    bool open(std::string_view method, std::string_view url) override;
    bool disableRedirects() override;
    bool setAcceptInvalidCertificates(bool accept) override;
    bool setCredentials(std::string_view user, std::string_view password, CredentialsTarget target) override;
    bool setRequestHeader(std::string_view name, std::string_view value) override;
    bool send(std::string_view body) override;
    bool send(const Bytes& body) override;
    Bytes takeResponseBody() override;
    Text allResponseHeaders() override;
    int32_t status() override;

    struct State;  // defined beside the libcurl callbacks

  private:
    explicit CurlRequest(std::unique_ptr<State> state);
    bool perform(const uint8_t* body, size_t size);
    std::unique_ptr<State> state_;
};

// The maker webRequest uses by default.
std::unique_ptr<RequestObject> makeCurlRequest();

// Closes the keep-alive connections that idle pooled handles hold (at shutdown, or before a server
// they talk to goes away). Requests running meanwhile keep theirs.
void closeIdleConnections();

}  // namespace jdsm
