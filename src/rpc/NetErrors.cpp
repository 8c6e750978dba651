#include "rpc/NetErrors.h"

#include <asio/error.hpp>
#include <asio/ssl/error.hpp>

namespace krv::rpc {

std::string describe(const std::error_code& error) {
    if (error == asio::error::connection_refused) return "conexão recusada";
    if (error == asio::error::timed_out) return "tempo esgotado";
    if (error == asio::error::host_unreachable) return "servidor inalcançável";
    if (error == asio::error::network_unreachable) return "rede inalcançável";
    if (error == asio::error::host_not_found || error == asio::error::host_not_found_try_again)
        return "endereço não encontrado";
    if (error == asio::error::address_in_use) return "endereço já em uso";
    if (error == asio::error::access_denied) return "permissão negada";
    if (error == asio::error::address_family_not_supported) return "tipo de endereço não suportado";
    if (peerClosed(error)) return "conexão encerrada";
    return error.message();
}

bool peerClosed(const std::error_code& error) {
    // A TLS peer that closes without its close_notify has gone away all the same.
    return error == asio::error::eof || error == asio::error::connection_reset || error == asio::error::broken_pipe ||
           error == asio::error::connection_aborted || error == asio::ssl::error::stream_truncated;
}

}  // namespace krv::rpc
