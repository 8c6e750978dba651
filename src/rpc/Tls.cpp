#include "rpc/Tls.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <cstdio>

#include <asio/buffer.hpp>
#include <asio/error.hpp>
#include <asio/ssl/error.hpp>

#include "core/Errors.h"
#include "core/RegularFile.h"
#include "rpc/NetErrors.h"

namespace krv::rpc {
namespace {

bool isSsl(const std::error_code& error) { return error.category() == asio::error::get_ssl_category(); }

int reasonOf(const std::error_code& error) { return isSsl(error) ? ERR_GET_REASON(error.value()) : 0; }

void limitVersions(asio::ssl::context& context) {
    SSL_CTX_set_min_proto_version(context.native_handle(), TLS1_2_VERSION);
}

[[noreturn]] void failFile(const std::string& what, const std::string& file, const std::string& reason) {
    throw ENetError("Não foi possível usar " + what + " " + file + ": " + reason);
}

// OpenSSL says "system lib" for a missing file; the system's own words say more.
// A FIFO or a device would make OpenSSL's own read wait without end: refused by its kind first.
void checkReadable(const std::string& what, const std::string& file) {
    const FileRead read = readRegularFile(file, 1, FileLimit::Head);
    if (read.problem != FileProblem::None) failFile(what, file, describeFileProblem(read, 1));
}

}  // namespace

std::string certificateDateWarning(const std::string& certFile) {
    if (readRegularFile(certFile, 1, FileLimit::Head).problem != FileProblem::None) return {};
    std::FILE* opened = std::fopen(certFile.c_str(), "rb");
    if (!opened) return {};
    X509* certificate = PEM_read_X509(opened, nullptr, nullptr, nullptr);
    std::fclose(opened);
    if (!certificate) return {};
    // Whole days from now to each date; the time of day is not worth a word.
    const auto daysTo = [](const ASN1_TIME* when) {
        int days = 0, seconds = 0;
        ASN1_TIME_diff(&days, &seconds, nullptr, when);
        return days + (seconds > 0 ? 1 : seconds < 0 ? -1 : 0);
    };
    const bool notYet = X509_cmp_current_time(X509_get0_notBefore(certificate)) > 0;
    const bool expired = X509_cmp_current_time(X509_get0_notAfter(certificate)) < 0;
    const int left = daysTo(X509_get0_notAfter(certificate));
    const int until = daysTo(X509_get0_notBefore(certificate));
    X509_free(certificate);
    const std::string named = "aviso: o certificado TLS " + certFile;
    if (notYet) return named + " ainda não vale: começa a valer em " + std::to_string(until) + " dia(s)";
    if (expired) return named + " venceu há " + std::to_string(-left) + " dia(s): os clientes vão recusá-lo";
    if (left <= kCertificateWarningDays) return named + " vence em " + std::to_string(left) + " dia(s): renove-o";
    return {};
}

asio::ssl::context serverTlsContext(const std::string& certFile, const std::string& keyFile) {
    asio::ssl::context context(asio::ssl::context::tls_server);
    limitVersions(context);
    std::error_code error;
    checkReadable("o certificado TLS", certFile);
    context.use_certificate_chain_file(certFile, error);
    if (error) failFile("o certificado TLS", certFile, error.message());
    checkReadable("a chave TLS", keyFile);
    context.use_private_key_file(keyFile, asio::ssl::context::pem, error);
    if (isSsl(error) && ERR_GET_REASON(error.value()) == X509_R_KEY_VALUES_MISMATCH)
        throw ENetError("A chave TLS " + keyFile + " não corresponde ao certificado " + certFile);
    if (error) failFile("a chave TLS", keyFile, error.message());
    return context;
}

asio::ssl::context clientTlsContext(const std::string& caFile) {
    asio::ssl::context context(asio::ssl::context::tls_client);
    limitVersions(context);
    std::error_code error;
    if (caFile.empty()) {
        context.set_default_verify_paths(error);
    } else {
        checkReadable("o arquivo de autoridades (CA)", caFile);
        context.load_verify_file(caFile, error);
    }
    if (error) failFile("o arquivo de autoridades (CA)", caFile, error.message());
    context.set_verify_mode(asio::ssl::verify_peer);
    return context;
}

std::string describeTlsRefusal(const std::error_code& error) {
    if (spokeWithoutTls(error)) return "o cliente não falou TLS nesta porta TLS";
    if (reasonOf(error) == SSL_R_UNSUPPORTED_PROTOCOL || reasonOf(error) == SSL_R_NO_PROTOCOLS_AVAILABLE)
        return "versão de TLS recusada (mínimo TLS 1.2)";
    if (peerClosed(error)) return "o cliente desistiu durante o TLS";
    return "falha no TLS: " + error.message();
}

std::string describeTlsFailure(const std::string& where, const std::string& host, const std::error_code& error,
                               long verifyResult, bool nameMismatch) {
    const std::string certificate = "O certificado do servidor " + where;
    if (nameMismatch) return certificate + " não vale para o nome " + host;
    switch (verifyResult) {
        case X509_V_OK:
            break;
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return certificate + " expirou";
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return certificate + " ainda não é válido";
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        case X509_V_ERR_CERT_UNTRUSTED:
            return certificate + " não é confiável: não foi emitido por uma autoridade (CA) aceita por este cliente";
        default:
            return certificate + " foi recusado: " + X509_verify_cert_error_string(verifyResult);
    }
    if (spokeWithoutTls(error) || peerClosed(error))
        return "O servidor " + where + " não respondeu em TLS: a porta não usa conexão segura?";
    return "Falha na conexão segura com o servidor " + where + ": " + error.message();
}

bool spokeWithoutTls(const std::error_code& error) {
    const int reason = reasonOf(error);
    return reason == SSL_R_WRONG_VERSION_NUMBER || reason == SSL_R_HTTP_REQUEST ||
           reason == SSL_R_PACKET_LENGTH_TOO_LONG || reason == SSL_R_RECORD_LENGTH_MISMATCH ||
           reason == SSL_R_UNEXPECTED_RECORD || reason == SSL_R_UNEXPECTED_MESSAGE;
}

void answerPlainPeer(asio::ip::tcp::socket& socket) {
    // A fatal alert, protocol_version, in TLS 1.2's record form.
    static const unsigned char alert[] = {0x15, 0x03, 0x03, 0x00, 0x02, 0x02, 0x46};
    std::error_code ignored;
    socket.non_blocking(true, ignored);
    socket.write_some(asio::buffer(alert), ignored);
    socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    // Closing with the peer's frame still unread would reset the connection and could
    // destroy the alert before the peer reads it.
    char sink[4096];
    for (size_t drained = 0; drained < (64u << 10);) {
        const size_t read = socket.read_some(asio::buffer(sink), ignored);
        if (ignored || read == 0) break;
        drained += read;
    }
}

bool looksLikeTlsRecord(unsigned char first, unsigned char second) { return first >= 20 && first <= 23 && second == 3; }

}  // namespace krv::rpc
