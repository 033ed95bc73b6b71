#include "tools/testtls/TestTls.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace jdsm::testtls {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct CertFree {
    void operator()(X509* c) const { X509_free(c); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificates: ") + what);
}

KeyPtr makeKey() {
    // P-256 keys are made in microseconds, unlike RSA.
    KeyPtr key(EVP_EC_gen("P-256"));
    check(key != nullptr, "key generation");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    check(ext != nullptr, "extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

CertPtr makeCert(EVP_PKEY* key, const char* commonName, X509* issuer, EVP_PKEY* issuerKey, long serial,
                 bool ca) {
    CertPtr cert(X509_new());
    check(cert != nullptr, "certificate");
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 7L * 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName),
                               -1, -1, 0);
    X509* signer = issuer ? issuer : cert.get();
    X509_set_issuer_name(cert.get(), X509_get_subject_name(signer));
    if (ca) {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        addExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
        addExtension(cert.get(), signer, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
        addExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    }
    check(X509_sign(cert.get(), issuerKey, EVP_sha256()) > 0, "signing");
    return cert;
}

void writePem(const std::string& path, X509* cert, EVP_PKEY* key) {
    FILE* f = std::fopen(path.c_str(), "w");
    check(f != nullptr, "cannot write PEM file");
    const bool ok = cert ? PEM_write_X509(f, cert) == 1
                         : PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    std::fclose(f);
    check(ok, "PEM output");
}

}  // namespace

Certificates makeCertificates(const std::string& dir) {
    static std::atomic<long> serial{1};
    KeyPtr caKey = makeKey();
    CertPtr ca = makeCert(caKey.get(), "jdsm test CA", nullptr, caKey.get(), serial++, true);
    KeyPtr serverKey = makeKey();
    CertPtr server = makeCert(serverKey.get(), "localhost", ca.get(), caKey.get(), serial++, false);

    Certificates out{dir + "/ca.pem", dir + "/server.pem", dir + "/server-key.pem"};
    writePem(out.caFile, ca.get(), nullptr);
    writePem(out.certFile, server.get(), nullptr);
    writePem(out.keyFile, nullptr, serverKey.get());
    return out;
}

}  // namespace jdsm::testtls
