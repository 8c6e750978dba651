#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace krv::app {

// What the command line asks of krv-host. Without --server the server comes from the
// client's configuration (/etc/krv/krv-cliente.conf); with --demo, or when the operator takes
// the offer where none is configured, the host starts its own krv-server on a free loopback
// port, with the demo company under dataDir.
struct HostOptions {
    QString filial = "0001";
    QString operador = "ADMIN";
    QString serverHost;  // empty: embedded server
    int serverPort = 0;
    // "--server a:7420,b:7420": the servers after the first, "HOST:PORT" each, on the same database.
    QStringList moreServers;
    bool tls = false;  // --ca or a "tls:" address
    QString caFile;
    QString tokenFile;
    QString token;     // read from tokenFile
    QStringList open;  // module codes to open at start, e.g. "KRV52000"
    QString dataDir = "var";
    // No --server, no --demo and no server in the client's configuration: the host says how
    // to set one and offers the demo.
    bool unconfigured = false;
    QString configFile;    // --config, where `unconfigured` says to set the server
    bool help = false;     // --help: print helpText and stop
    bool version = false;  // --version: print the name and version and stop

    bool embedded() const { return serverHost.isEmpty(); }
    // A server named on the command line is asked for the operator's password, unless the
    // shared token opens it.
    bool asksLogin() const { return !embedded() && token.isEmpty(); }
};

// Parses `arguments` (argv, program name first). Returns the options, or nullopt with a
// Portuguese explanation in `error` (bad server address, unreadable token file, …).
// `helpText` receives the usage text that --help asks for.
std::optional<HostOptions> ParseHostOptions(const QStringList& arguments, QString& error, QString* helpText = nullptr);

// A server address read by rpc::parseEndpoint's rules (port 1..65535, IPv6 in brackets).
// False for anything else, with the reason in `error` when one is given.
bool SplitServerAddress(const QString& text, QString& host, int& port, QString* error = nullptr);

}  // namespace krv::app
