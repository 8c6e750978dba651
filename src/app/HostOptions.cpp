#include "app/HostOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <stdexcept>

#include "app/ClientConfig.h"
#include "rpc/ClientLogin.h"
#include "rpc/Endpoint.h"

namespace krv::app {

bool SplitServerAddress(const QString& text, QString& host, int& port, QString* error) {
    try {
        const rpc::HostPort server = rpc::parseEndpoint(text.toStdString());
        host = QString::fromStdString(server.host);
        port = server.port;
        return true;
    } catch (const std::invalid_argument& e) {
        if (error) *error = QString::fromUtf8(e.what());
        return false;
    }
}

namespace {

bool readServer(const QString& text, HostOptions& o, QString& error) {
    try {
        rpc::Endpoint servers;
        rpc::applyServerList(text.toStdString(), servers);
        o.serverHost = QString::fromStdString(servers.host);
        o.serverPort = servers.port;
        o.tls = servers.tls;
        for (const rpc::HostPort& more : servers.alternates)
            o.moreServers << QString::fromStdString(rpc::formatEndpoint(more.host, more.port));
        return true;
    } catch (const std::invalid_argument& e) {
        error = "--server: " + QString::fromUtf8(e.what());
        return false;
    }
}

// Without --server and --demo: the client's configuration gives the server, the CA and the
// operator proposed, each unless the command line gave its own.
bool readConfiguredServer(const QCommandLineParser& parser, HostOptions& o, QString& error) {
    const std::optional<ClientConfig> config = ReadClientConfig(o.configFile, error);
    if (!config) return false;
    if (config->server.isEmpty()) {
        o.unconfigured = true;
        return true;
    }
    if (!readServer(config->server, o, error)) {
        error = o.configFile + ": server: " + error.mid(QString("--server: ").size());
        return false;
    }
    if (!parser.isSet("ca")) o.caFile = config->ca;
    if (!parser.isSet("operador") && !config->operador.isEmpty()) o.operador = config->operador;
    return true;
}

// The token file and the CA file are read by the client programs' rules; the host takes
// no password from them: it asks for it.
void readSecrets(HostOptions& o) {
    rpc::ClientLogin login;
    login.tokenFile = QFile::encodeName(o.tokenFile).toStdString();
    login.caFile = QFile::encodeName(o.caFile).toStdString();
    rpc::Endpoint endpoint;
    endpoint.tls = o.tls;
    rpc::applyClientLogin(login, nullptr, endpoint);
    o.token = QString::fromStdString(endpoint.token);
    o.tls = endpoint.tls;
}

}  // namespace

std::optional<HostOptions> ParseHostOptions(const QStringList& arguments, QString& error, QString* helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Gestão de Refeições: aplicação hospedeira dos módulos.");
    const QCommandLineOption filial("filial", "Filial da sessão (padrão 0001).", "código", "0001");
    const QCommandLineOption operador("operador", "Operador da sessão, proposto ao entrar num --server (padrão ADMIN).",
                                      "código", "ADMIN");
    const QCommandLineOption server("server", "Servidor de aplicação já em execução (tls:HOST:PORTA para TLS).",
                                    "HOST:PORTA");
    const QCommandLineOption ca("ca", "Conecta com TLS e confere o certificado do servidor com esta CA.", "arquivo");
    const QCommandLineOption tokenFile("token-file", "Arquivo com o token compartilhado.", "arquivo");
    const QCommandLineOption open("open", "Módulo a abrir ao iniciar (ex.: KRV52000).", "módulo");
    const QCommandLineOption dataDir("data-dir", "Pasta do banco do servidor embutido (padrão var).", "pasta", "var");
    const QCommandLineOption config("config",
                                    "Configuração do cliente, lida sem --server: servidor, CA e operador proposto "
                                    "(padrão " +
                                        kClientConfigFile + ").",
                                    "arquivo", kClientConfigFile);
    const QCommandLineOption demo("demo",
                                  "Sobe um krv-server próprio, só deste usuário, com a empresa de demonstração.");
    parser.addOptions({filial, operador, server, ca, tokenFile, open, dataDir, config, demo});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (helpText) *helpText = parser.helpText();

    if (!parser.parse(arguments)) {
        error = parser.errorText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        error = QString("Argumento não reconhecido: %1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    HostOptions o;
    if (parser.isSet(help) || parser.isSet(version)) {
        o.help = parser.isSet(help);
        o.version = !o.help;
        return o;
    }
    o.filial = parser.value(filial).trimmed();
    o.operador = parser.value(operador).trimmed();
    o.dataDir = parser.value(dataDir);
    o.open = parser.values(open);
    if (o.operador.isEmpty()) {
        error = "O operador da sessão não pode ser vazio.";
        return std::nullopt;
    }
    // The branch edit of the screens holds four letters or digits: a longer code would be
    // cut there and another branch looked up.
    static const QRegularExpression branchCode("^[A-Za-z0-9]{1,4}$");
    if (!branchCode.match(o.filial).hasMatch()) {
        error = QString("Filial inválida: '%1' (até 4 letras ou dígitos).").arg(o.filial);
        return std::nullopt;
    }
    o.tokenFile = parser.value(tokenFile);
    o.caFile = parser.value(ca);
    o.configFile = parser.value(config);
    if (parser.isSet(server) && !readServer(parser.value(server), o, error)) return std::nullopt;
    if (!parser.isSet(server) && !parser.isSet(demo) && !readConfiguredServer(parser, o, error)) return std::nullopt;
    if (!o.caFile.isEmpty() && o.embedded()) {
        error = "--ca vale apenas com --server ou o server de " + o.configFile +
                ": o servidor embutido escuta só nesta máquina, sem TLS.";
        return std::nullopt;
    }
    try {
        readSecrets(o);
    } catch (const std::runtime_error& e) {
        error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
    return o;
}

}  // namespace krv::app
