#include "app/HostOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>

namespace krv::app {

bool SplitServerAddress(const QString& text, QString& host, int& port) {
    const int colon = text.lastIndexOf(':');
    if (colon <= 0) return false;
    bool ok = false;
    const int p = text.mid(colon + 1).toInt(&ok);
    if (!ok || p < 1 || p > 65535) return false;
    host = text.left(colon);
    port = p;
    return true;
}

namespace {

// A token file holds the shared secret on its first line; surrounding blanks are not part of it.
bool ReadToken(const QString& path, QString& token, QString& error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QString("Não foi possível ler o arquivo de token '%1': %2").arg(path, file.errorString());
        return false;
    }
    token = QString::fromUtf8(file.readLine()).trimmed();
    if (token.isEmpty()) {
        error = QString("O arquivo de token '%1' está vazio.").arg(path);
        return false;
    }
    return true;
}

}  // namespace

std::optional<HostOptions> ParseHostOptions(const QStringList& arguments, QString& error, QString* helpText) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Gestão de Refeições: aplicação hospedeira dos módulos.");
    const QCommandLineOption filial("filial", "Filial da sessão (padrão 0001).", "código", "0001");
    const QCommandLineOption operador("operador", "Operador da sessão (padrão ADMIN).", "código", "ADMIN");
    const QCommandLineOption server("server", "Servidor de aplicação já em execução.", "HOST:PORTA");
    const QCommandLineOption tokenFile("token-file", "Arquivo com o token compartilhado.", "arquivo");
    const QCommandLineOption open("open", "Módulo a abrir ao iniciar (ex.: KRV52000).", "módulo");
    const QCommandLineOption dataDir("data-dir", "Pasta do banco do servidor embutido (padrão var).", "pasta", "var");
    parser.addOptions({filial, operador, server, tokenFile, open, dataDir});
    const QCommandLineOption help = parser.addHelpOption();
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
    if (parser.isSet(help)) {
        o.help = true;
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
    if (parser.isSet(server) && !SplitServerAddress(parser.value(server), o.serverHost, o.serverPort)) {
        error = QString("Endereço de servidor inválido: '%1' (use HOST:PORTA).").arg(parser.value(server));
        return std::nullopt;
    }
    if (parser.isSet(tokenFile)) {
        o.tokenFile = parser.value(tokenFile);
        if (!ReadToken(o.tokenFile, o.token, error)) return std::nullopt;
    }
    return o;
}

}  // namespace krv::app
