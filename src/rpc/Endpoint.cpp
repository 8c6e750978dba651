#include "rpc/Endpoint.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>

namespace krv::rpc {

namespace {

[[noreturn]] void refuse(std::string_view text, const std::string& reason) {
    throw std::invalid_argument("Endereço inválido '" + std::string(text) + "': " + reason +
                                " (use HOST:PORTA, por exemplo 127.0.0.1:7420)");
}

bool hasBlank(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c <= ' ' || c == 0x7f; });
}

}  // namespace

HostPort parseEndpoint(std::string_view text, PortZero zero) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) refuse(text, "falta a porta");
    std::string_view host = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);

    if (host.starts_with('[')) {
        if (host.size() < 3 || !host.ends_with(']')) refuse(text, "endereço IPv6 incompleto entre colchetes");
        host = host.substr(1, host.size() - 2);
        if (host.find_first_of("[]") != std::string_view::npos) refuse(text, "colchetes demais no host");
    } else if (host.find(':') != std::string_view::npos) {
        refuse(text, "um endereço IPv6 vai entre colchetes, como [::1]:7420");
    } else if (host.find_first_of("[]") != std::string_view::npos) {
        refuse(text, "colchetes fora do lugar no host");
    }
    if (host.empty()) refuse(text, "falta o host");
    if (hasBlank(host)) refuse(text, "o host não pode ter espaços");

    const unsigned lowest = zero == PortZero::AnyFreePort ? 0 : 1;
    const std::string range = lowest == 0 ? "de 0 (qualquer porta livre) a 65535" : "de 1 a 65535";
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || error != std::errc() || end != port.data() + port.size() || value < lowest || value > 65535)
        refuse(text, "a porta deve ser um número " + range);
    return {std::string(host), uint16_t(value)};
}

ServerAddress parseServerAddress(std::string_view text) {
    constexpr std::string_view kTls = "tls:";
    const bool tls = text.starts_with(kTls);
    HostPort server = parseEndpoint(tls ? text.substr(kTls.size()) : text);
    return {std::move(server.host), server.port, tls};
}

void applyServerList(std::string_view text, Endpoint& endpoint) {
    std::vector<ServerAddress> servers;
    for (size_t start = 0;;) {
        const size_t comma = text.find(',', start);
        servers.push_back(parseServerAddress(text.substr(start, comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    for (const ServerAddress& server : servers)
        if (server.tls != servers.front().tls)
            refuse(text, "os servidores da lista devem ser todos com TLS (tls:) ou todos sem");
    endpoint.host = servers.front().host;
    endpoint.port = servers.front().port;
    endpoint.tls = servers.front().tls;
    endpoint.alternates.clear();
    for (size_t i = 1; i < servers.size(); ++i) endpoint.alternates.push_back({servers[i].host, servers[i].port});
}

std::string formatEndpoint(std::string_view host, uint16_t port) {
    const bool ipv6 = host.find(':') != std::string_view::npos;
    std::string text;
    if (ipv6) text += '[';
    text += host;
    if (ipv6) text += ']';
    return text + ':' + std::to_string(port);
}

}  // namespace krv::rpc
