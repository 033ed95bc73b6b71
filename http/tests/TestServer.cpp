#include "http/tests/TestServer.h"

#include <openssl/ssl.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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
    // Stopping waits for idle keep-alive connections to time out, so keep that short.
    server_->set_keep_alive_timeout(1);
    // Headers and body go out in two writes; without this the second waits for a delayed ACK.
    server_->set_tcp_nodelay(true);
    routes(*server_);
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("the test server cannot bind");
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
