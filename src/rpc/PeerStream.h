#pragma once
#include <variant>

#include <asio.hpp>
#include <asio/ssl.hpp>

namespace krv::rpc {

// One connection's byte stream, in clear or over TLS. The session reads and writes its
// frames through this one interface, so both kinds of connection share every line of the
// frame handling.
class PeerStream {
public:
    using Tls = asio::ssl::stream<asio::ip::tcp::socket>;

    // With a TLS context the connection speaks TLS and must shake hands first.
    PeerStream(asio::ip::tcp::socket socket, asio::ssl::context* tls);

    bool tls() const { return std::holds_alternative<Tls>(stream_); }
    asio::ip::tcp::socket& socket();

    template <class Handler>
    void asyncHandshake(Handler&& handler) {
        std::get<Tls>(stream_).async_handshake(asio::ssl::stream_base::server, std::forward<Handler>(handler));
    }

    template <class Buffer, class Handler>
    void asyncReadSome(const Buffer& buffer, Handler&& handler) {
        std::visit([&](auto& stream) { stream.async_read_some(buffer, std::forward<Handler>(handler)); }, stream_);
    }

    template <class Buffer, class Handler>
    void asyncWrite(const Buffer& buffer, Handler&& handler) {
        std::visit([&](auto& stream) { asio::async_write(stream, buffer, std::forward<Handler>(handler)); }, stream_);
    }

    // What the socket takes at once, without waiting. Over TLS nothing: a record cut by a
    // would-block could not be resumed, so it all goes through asyncWrite.
    size_t writeNow(const asio::const_buffer& buffer, std::error_code& error);

    void close();

private:
    std::variant<asio::ip::tcp::socket, Tls> stream_;
};

}  // namespace krv::rpc
