#pragma once
// An HTTPS server on 127.0.0.1 for tests and the benchmark: fresh throwaway certificates, port 0, and
// counters of the TLS handshakes it accepted.

#include <httplib.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "tools/testtls/TestTls.h"

namespace jdsm::testing {

// A directory under the system temp folder, removed with its files when destroyed.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

class TestServer {
  public:
    // `routes` registers the handlers before the server starts listening.
    explicit TestServer(const std::function<void(httplib::Server&)>& routes);
    ~TestServer();
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    int port() const { return port_; }
    std::string url(std::string_view path) const;  // https://127.0.0.1:<port><path>
    const testtls::Certificates& certificates() const { return certs_; }

    long fullHandshakes() const;     // handshakes completed without resuming a session
    long resumedHandshakes() const;  // handshakes that resumed an earlier session

  private:
    TempDir dir_;
    testtls::Certificates certs_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace jdsm::testing
