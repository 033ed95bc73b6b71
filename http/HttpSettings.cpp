#include "http/HttpSettings.h"

#include "http/CurlRequest.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdlib>
#include <mutex>

#ifndef JDSM_CA_FILE_DEFAULT
#define JDSM_CA_FILE_DEFAULT ""
#endif

namespace jdsm {

namespace {

struct Settings {
    std::mutex mutex;
    std::string caFile;
    bool caLoaded = false;
    std::shared_ptr<const detail::ExtraCaCertificates> ca;

    Settings() {
        const char* env = std::getenv("JDSM_CA_FILE");
        caFile = env ? env : JDSM_CA_FILE_DEFAULT;
    }
};

Settings& settings() {
    static Settings s;
    return s;
}

std::shared_ptr<const detail::ExtraCaCertificates> loadCertificates(const std::string& path) {
    if (path.empty()) return nullptr;
    BIO* bio = BIO_new_file(path.c_str(), "r");
    if (!bio) return nullptr;
    auto ca = std::make_shared<detail::ExtraCaCertificates>();
    while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr))
        ca->certificates.push_back(cert);
    BIO_free(bio);
    // The read that ends the loop leaves an error on this thread's OpenSSL queue, where a later TLS
    // handshake on the same thread would find it and fail.
    ERR_clear_error();
    if (ca->certificates.empty()) return nullptr;
    return ca;
}

}  // namespace

void setExtraCaFile(std::string path) {
    {
        Settings& s = settings();
        const std::lock_guard lock(s.mutex);
        s.caFile = std::move(path);
        s.caLoaded = false;
        s.ca.reset();
    }
    // Each pooled handle keeps the certificate store it parsed for its first connection; idle ones go,
    // so the next requests build stores with the new file.
    closeIdleConnections();
}

std::string extraCaFile() {
    Settings& s = settings();
    const std::lock_guard lock(s.mutex);
    return s.caFile;
}

namespace detail {

ExtraCaCertificates::~ExtraCaCertificates() {
    for (void* cert : certificates)
        X509_free(static_cast<X509*>(cert));
}

std::shared_ptr<const ExtraCaCertificates> extraCaCertificates() {
    Settings& s = settings();
    const std::lock_guard lock(s.mutex);
    if (!s.caLoaded) {
        s.ca = loadCertificates(s.caFile);
        s.caLoaded = true;
    }
    return s.ca;
}

}  // namespace detail
}  // namespace jdsm
