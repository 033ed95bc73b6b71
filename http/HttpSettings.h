#pragma once
// Process-wide settings of the HTTP client that the program sets once at start.
//
// The extra CA file: a PEM file of certificates trusted besides the system store, for deployments
// behind their own certificate authority. It starts as the environment variable JDSM_CA_FILE when that
// is set, else as the value the build was configured with; setExtraCaFile replaces it for requests
// that start afterwards (idle pooled connections are closed). An empty path, or a file that cannot be
// read, adds nothing. Requests running at the time, and TLS sessions already made, keep the trust they
// had, so the program sets the file once before its first request.

#include <memory>
#include <string>
#include <vector>

namespace jdsm {

void setExtraCaFile(std::string path);
std::string extraCaFile();

namespace detail {

// The certificates of the extra CA file, read once per path and shared by the requests that use them.
struct ExtraCaCertificates {
    ExtraCaCertificates() = default;
    ExtraCaCertificates(const ExtraCaCertificates&) = delete;
    ExtraCaCertificates& operator=(const ExtraCaCertificates&) = delete;
    ~ExtraCaCertificates();
    std::vector<void*> certificates;  // X509*, owned; kept opaque so this header needs no OpenSSL
};

// nullptr when no extra CA file is set or it holds no certificate.
std::shared_ptr<const ExtraCaCertificates> extraCaCertificates();

}  // namespace detail
}  // namespace jdsm
