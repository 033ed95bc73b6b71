#pragma once
// Throwaway TLS material for servers on 127.0.0.1: a certificate authority made on the spot and a
// server certificate it signs for "localhost" and 127.0.0.1. Clients trust the CA file; nothing is
// ever installed into the system store.

#include <string>

namespace jdsm::testtls {

struct Certificates {
    std::string caFile;    // PEM of the CA certificate: what a client trusts
    std::string certFile;  // PEM of the server certificate
    std::string keyFile;   // PEM of the server's private key
};

// Writes ca.pem, server.pem and server-key.pem into `dir` (which must exist). Each call makes a new CA,
// so material from another call is not trusted by this one's CA. Throws std::runtime_error on failure.
Certificates makeCertificates(const std::string& dir);

}  // namespace jdsm::testtls
