#pragma once
#include <string>
#include <system_error>

#include <asio/ip/tcp.hpp>
#include <asio/ssl/context.hpp>

namespace krv::rpc {

// TLS 1.2 or later everywhere: older versions have known breaks.

// The server's context from its PEM certificate chain and private key. Throws ENetError
// naming the file and the reason when either cannot be read or they do not match.
asio::ssl::context serverTlsContext(const std::string& certFile, const std::string& keyFile);

// A certificate this close to its end is named when the server starts.
inline constexpr int kCertificateWarningDays = 30;
// A line for the log when the certificate has expired, is not valid yet, or expires within
// kCertificateWarningDays; empty otherwise (or when it cannot be read: loading it says why).
std::string certificateDateWarning(const std::string& certFile);

// A client's context that trusts the CAs in caFile, or the system's when it is empty.
// Throws ENetError when caFile cannot be read.
asio::ssl::context clientTlsContext(const std::string& caFile);

// The handshake met bytes that are no TLS record at all: a peer speaking something else.
bool spokeWithoutTls(const std::error_code& error);

// Tells a peer that spoke in clear to a TLS port, in the one form it can recognise: a TLS
// alert where it expects a frame header.
void answerPlainPeer(asio::ip::tcp::socket& socket);

// Why a server's handshake failed, for its log line.
std::string describeTlsRefusal(const std::error_code& error);

// What a client tells its user when its handshake failed: `where` is the server's
// "host:port", verifyResult what OpenSSL found of the chain, nameMismatch true when the
// chain was good but named another host.
std::string describeTlsFailure(const std::string& where, const std::string& host, const std::error_code& error,
                               long verifyResult, bool nameMismatch);

// A plain client that reads this where a frame header should be talks to a TLS port: a TLS
// record starts with its type (20 to 23) and major version 3.
bool looksLikeTlsRecord(unsigned char first, unsigned char second);

}  // namespace krv::rpc
