#pragma once
// The HTTP exchange object that webRequest drives: settings first, then open, headers, send, and the
// response read back. Every operation may fail; a failure is reported as false or an empty result and
// the caller goes on regardless. The production object runs on libcurl (CurlRequest.h); tests use a
// recording fake.

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "text/Text.h"

namespace jdsm {

// Who the credentials of setCredentials are for.
enum class CredentialsTarget : int32_t {
    server = 0,
    proxy = 1,
};

class RequestObject {
  public:
    virtual ~RequestObject() = default;

    // Milliseconds for name resolution, connecting, sending and receiving.
    virtual bool setTimeouts(int32_t resolveMs, int32_t connectMs, int32_t sendMs, int32_t receiveMs) = 0;
    // A named proxy server ("host:port"); the exchange then goes through it.
    virtual bool setProxy(std::string_view proxy) = 0;
    // Starts a new exchange for a method name and URL; headers and body come next.
    virtual bool open(std::string_view method, std::string_view url) = 0;
    virtual bool disableRedirects() = 0;
    // Off by default: the server certificate is verified. On, any certificate is accepted.
    virtual bool setAcceptInvalidCertificates(bool accept) = 0;
    virtual bool setCredentials(std::string_view user, std::string_view password,
                                CredentialsTarget target) = 0;
    // Sets one request header; a later call with the same name (any case) replaces the earlier value.
    virtual bool setRequestHeader(std::string_view name, std::string_view value) = 0;
    // Runs the exchange with a body given as text or as bytes (either may be empty).
    virtual bool send(std::string_view body) = 0;
    virtual bool send(const Bytes& body) = 0;

    // The response of the last exchange; empty (status 0) when it failed. The body is handed over rather
    // than copied (pages run to hundreds of kilobytes), so a second take gives it empty.
    virtual Bytes takeResponseBody() = 0;
    // The response header lines separated by CR LF, without the status line.
    virtual Text allResponseHeaders() = 0;
    virtual int32_t status() = 0;
};

// Makes a new request object; nullptr when none can be made.
using RequestObjectMaker = std::function<std::unique_ptr<RequestObject>()>;

}  // namespace jdsm
