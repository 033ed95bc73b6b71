#pragma once
// A request object that records every call as one line of text and answers with a canned response.

#include <string>
#include <utility>
#include <vector>

#include "http/RequestObject.h"

namespace jdsm::testing {

class RecordingRequest : public RequestObject {
  public:
    struct Response {
        Bytes body;
        Text headers;
        int32_t status = 0;
    };

    RecordingRequest(std::vector<std::string>& log, Response response)
        : log_(log), response_(std::move(response)) {}

    bool setTimeouts(int32_t r, int32_t c, int32_t s, int32_t v) override {
        return record("timeouts " + std::to_string(r) + " " + std::to_string(c) + " " + std::to_string(s) +
                      " " + std::to_string(v));
    }
    bool setProxy(std::string_view proxy) override { return record("proxy " + std::string(proxy)); }
    bool open(std::string_view method, std::string_view url) override {
        return record("open " + std::string(method) + " " + std::string(url));
    }
    bool disableRedirects() override { return record("no redirects"); }
    bool setAcceptInvalidCertificates(bool accept) override {
        return record(accept ? "accept invalid certificates" : "verify certificates");
    }
    bool setCredentials(std::string_view user, std::string_view password, CredentialsTarget target) override {
        return record("credentials " + std::string(user) + " " + std::string(password) +
                      (target == CredentialsTarget::proxy ? " proxy" : " server"));
    }
    bool setRequestHeader(std::string_view name, std::string_view value) override {
        return record("header " + std::string(name) + "=" + std::string(value));
    }
    bool send(std::string_view body) override { return record("send text " + std::string(body)); }
    bool send(const Bytes& body) override {
        return record("send bytes " + std::string(body.begin(), body.end()));
    }
    Bytes takeResponseBody() override { return std::exchange(response_.body, {}); }
    Text allResponseHeaders() override { return response_.headers; }
    int32_t status() override { return response_.status; }

  private:
    bool record(std::string line) {
        log_.push_back(std::move(line));
        return true;
    }
    std::vector<std::string>& log_;
    Response response_;
};

}  // namespace jdsm::testing
