#include "http/tests/ConnectProxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace jdsm::testing {

namespace {

bool sendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

std::string headerValue(const std::string& head, const std::string& name) {
    size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
}

}  // namespace

ConnectProxy::ConnectProxy(std::string requiredAuthorization) : required_(std::move(requiredAuthorization)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener_, 64) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        throw std::runtime_error("the test proxy cannot listen");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

ConnectProxy::~ConnectProxy() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    acceptor_.join();
    ::close(listener_);
    {
        // Wakes every tunnel; clients may keep theirs open for reuse.
        const std::lock_guard lock(mutex_);
        for (int fd : sockets_)
            ::shutdown(fd, SHUT_RDWR);
    }
    for (auto& worker : workers_)
        worker.join();
    for (int fd : sockets_)
        ::close(fd);
}

std::vector<std::string> ConnectProxy::requestHeads() const {
    const std::lock_guard lock(mutex_);
    return heads_;
}

void ConnectProxy::acceptLoop() {
    while (!stopping_) {
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        const std::lock_guard lock(mutex_);
        sockets_.push_back(client);
        workers_.emplace_back([this, client] { serve(client); });
    }
}

void ConnectProxy::serve(int client) {
    std::string head;
    char buffer[16384];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) return;
        head.append(buffer, static_cast<size_t>(n));
    }
    head.resize(head.find("\r\n\r\n") + 2);
    {
        const std::lock_guard lock(mutex_);
        heads_.push_back(head);
    }
    if (!required_.empty() && headerValue(head, "Proxy-Authorization") != required_) {
        const std::string denied =
            "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"t\"\r\n"
            "Content-Length: 0\r\nConnection: close\r\n\r\n";
        sendAll(client, denied.data(), denied.size());
        ::shutdown(client, SHUT_RDWR);
        return;
    }
    // "CONNECT 127.0.0.1:port HTTP/1.1": only loopback targets are served.
    const size_t colon = head.find(':');
    const size_t space = head.find(' ', colon);
    if (head.rfind("CONNECT 127.0.0.1:", 0) != 0 || colon == std::string::npos ||
        space == std::string::npos) {
        ::shutdown(client, SHUT_RDWR);
        return;
    }
    const int targetPort = std::stoi(head.substr(colon + 1, space - colon - 1));

    const int target = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(targetPort));
    if (target < 0 || ::connect(target, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (target >= 0) ::close(target);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        sockets_.push_back(target);
    }
    const std::string established = "HTTP/1.1 200 Connection established\r\n\r\n";
    if (!sendAll(client, established.data(), established.size())) return;

    pollfd fds[2] = {{client, POLLIN, 0}, {target, POLLIN, 0}};
    while (::poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(fds[1 - i].fd, buffer, static_cast<size_t>(n))) {
                ::shutdown(client, SHUT_RDWR);
                ::shutdown(target, SHUT_RDWR);
                return;
            }
        }
    }
}

}  // namespace jdsm::testing
