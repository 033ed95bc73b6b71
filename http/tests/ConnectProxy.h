#pragma once
// A small HTTP proxy on 127.0.0.1 that serves CONNECT tunnels, optionally behind Basic credentials, and
// remembers the request heads it received.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace jdsm::testing {

class ConnectProxy {
  public:
    // `requiredAuthorization`: the Proxy-Authorization value a tunnel needs; empty: none needed.
    explicit ConnectProxy(std::string requiredAuthorization = {});
    ~ConnectProxy();
    ConnectProxy(const ConnectProxy&) = delete;
    ConnectProxy& operator=(const ConnectProxy&) = delete;

    int port() const { return port_; }
    std::vector<std::string> requestHeads() const;

  private:
    void acceptLoop();
    void serve(int client);

    std::string required_;
    int listener_ = -1;
    int port_ = 0;
    std::thread acceptor_;
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
    std::vector<int> sockets_;
    std::vector<std::thread> workers_;
    std::atomic<bool> stopping_{false};
};

}  // namespace jdsm::testing
