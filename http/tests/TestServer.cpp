#include "http/tests/TestServer.h"

#include <openssl/ssl.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

// The server library is not built with ThreadSanitizer, so its internals cannot be judged by it; the
// client code under test is.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n";
}

namespace jdsm::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "jdsm-http-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

TestServer::TestServer(const std::function<void(httplib::Server&)>& routes)
    : certs_(testtls::makeCertificates(dir_.path())),
      server_(std::make_unique<httplib::SSLServer>(certs_.certFile.c_str(), certs_.keyFile.c_str())) {
    if (!server_->is_valid()) throw std::runtime_error("the test server cannot load its certificate");
    // Enough workers for every keep-alive connection the tests and the benchmark hold at once.
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    server_->set_keep_alive_max_count(100000);
    // Stopping waits for idle keep-alive connections to time out: clients close theirs first
    // (closeIdleConnections) so that tear-down does not wait this long.
    server_->set_keep_alive_timeout(5);
    // Headers and body go out in two writes; without this the second waits for a delayed ACK.
    server_->set_tcp_nodelay(true);
    int listener = -1;
    server_->set_socket_options([&listener](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listener = sock;
    });
    routes(*server_);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the test server cannot bind");
    // The library listens with a backlog of 5, which a burst of parallel connects overflows; a dropped
    // handshake then surfaces as a reset connection in the client.
    ::listen(listener, SOMAXCONN);
    // The socket listens from here on, so clients may connect before the accept loop runs.
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only ends a loop that has begun; the destructor must not race the start.
    while (!server_->is_running())
        std::this_thread::yield();
}

TestServer::~TestServer() {
    server_->stop();
    thread_.join();
}

std::string TestServer::url(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

long TestServer::fullHandshakes() const {
    SSL_CTX* ctx = server_->ssl_context();
    return SSL_CTX_sess_accept_good(ctx) - SSL_CTX_sess_hits(ctx);
}

long TestServer::resumedHandshakes() const {
    return SSL_CTX_sess_hits(server_->ssl_context());
}

}  // namespace jdsm::testing
