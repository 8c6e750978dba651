#include "support/TestCa.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <stdexcept>

namespace krv::support {
namespace {

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCert {
    void operator()(X509* cert) const { X509_free(cert); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, FreeKey>;
using CertPtr = std::unique_ptr<X509, FreeCert>;

void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("TestCa: ") + what);
}

KeyPtr newKey() {
    KeyPtr key(EVP_EC_gen("P-256"));
    check(key != nullptr, "EC key");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    check(extension != nullptr, "extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

// Signed by `issuerKey`; `issuer` null makes it self-signed.
CertPtr newCert(const std::string& name, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey,
                std::chrono::seconds notBefore, std::chrono::seconds notAfter) {
    static long serial = 1;
    CertPtr cert(X509_new());
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), long(notBefore.count()));
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), long(notAfter.count()));
    X509_set_pubkey(cert.get(), key);
    X509_NAME* subject = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_UTF8, reinterpret_cast<const unsigned char*>(name.c_str()),
                               -1, -1, 0);
    X509_set_issuer_name(cert.get(), issuer ? X509_get_subject_name(issuer) : subject);
    return cert;
}

void sign(X509* cert, EVP_PKEY* key) { check(X509_sign(cert, key, EVP_sha256()) > 0, "sign"); }

template <class Write>
void writePem(const std::string& file, Write write) {
    std::FILE* out = std::fopen(file.c_str(), "w");
    check(out != nullptr, "open PEM file");
    const bool ok = write(out);
    std::fclose(out);
    check(ok, "write PEM");
}

}  // namespace

struct TestCa::Keys {
    KeyPtr key;
    CertPtr cert;
};

TestCa::TestCa(std::filesystem::path folder, const std::string& name)
    : folder_(std::move(folder)), certFile_((folder_ / (name + "-ca.pem")).string()), keys_(std::make_unique<Keys>()) {
    keys_->key = newKey();
    keys_->cert = newCert(name, keys_->key.get(), nullptr, nullptr, std::chrono::hours(-1), std::chrono::hours(48));
    addExtension(keys_->cert.get(), keys_->cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    addExtension(keys_->cert.get(), keys_->cert.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    sign(keys_->cert.get(), keys_->key.get());
    writePem(certFile_, [&](std::FILE* out) { return PEM_write_X509(out, keys_->cert.get()) == 1; });
}

TestCa::~TestCa() = default;

TestCa::Issued TestCa::issue(const std::string& name, const std::string& altNames, std::chrono::seconds notBefore,
                             std::chrono::seconds notAfter) const {
    KeyPtr key = newKey();
    CertPtr cert = newCert(name, key.get(), keys_->cert.get(), keys_->key.get(), notBefore, notAfter);
    addExtension(cert.get(), keys_->cert.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(cert.get(), keys_->cert.get(), NID_ext_key_usage, "serverAuth");
    addExtension(cert.get(), keys_->cert.get(), NID_subject_alt_name, altNames);
    sign(cert.get(), keys_->key.get());
    Issued issued{(folder_ / (name + ".pem")).string(), (folder_ / (name + "-chave.pem")).string()};
    writePem(issued.certFile, [&](std::FILE* out) { return PEM_write_X509(out, cert.get()) == 1; });
    writePem(issued.keyFile, [&](std::FILE* out) {
        return PEM_write_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
    });
    return issued;
}

}  // namespace krv::support
