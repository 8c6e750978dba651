#pragma once
#include <QString>
#include <optional>

namespace krv::app {

// Where krv-host started without --server (the desktop entry, say) finds its server.
inline const QString kClientConfigFile = "/etc/krv/krv-cliente.conf";

// The client's configuration (TOML, as the server's): `server` ("HOST:PORTA", a list with
// commas, "tls:" for TLS), `ca` (the CA file) and `operador` (proposed at login).
struct ClientConfig {
    QString server;  // empty: no server configured (also when the file does not exist)
    QString ca;
    QString operador;
};

// nullopt, with "ARQUIVO:LINHA: problema" (or "ARQUIVO: problema") in `error`, for a file that
// is there but cannot be used: a FIFO or folder, bad TOML, an unknown key, a value not text.
std::optional<ClientConfig> ReadClientConfig(const QString& path, QString& error);

// What the host says when no server is configured, and how to set one.
QString NoServerConfigured(const QString& path);

}  // namespace krv::app
