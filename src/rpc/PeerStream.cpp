#include "rpc/PeerStream.h"

namespace krv::rpc {
namespace {

std::variant<asio::ip::tcp::socket, PeerStream::Tls> streamOf(asio::ip::tcp::socket socket, asio::ssl::context* tls) {
    if (tls) return PeerStream::Tls(std::move(socket), *tls);
    return socket;
}

}  // namespace

PeerStream::PeerStream(asio::ip::tcp::socket socket, asio::ssl::context* tls)
    : stream_(streamOf(std::move(socket), tls)) {}

asio::ip::tcp::socket& PeerStream::socket() {
    if (auto* plain = std::get_if<asio::ip::tcp::socket>(&stream_)) return *plain;
    return std::get<Tls>(stream_).next_layer();
}

size_t PeerStream::writeNow(const asio::const_buffer& buffer, std::error_code& error) {
    error.clear();
    if (tls()) return 0;
    return std::get<asio::ip::tcp::socket>(stream_).write_some(buffer, error);
}

void PeerStream::close() {
    std::error_code ignored;
    socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket().close(ignored);
}

}  // namespace krv::rpc
