#include "report/ReportCommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "rpc/ClientLogin.h"

namespace krv::report {

using namespace krv::host;

namespace {

[[noreturn]] void usage(const QString& text) { throw UsageError(ToStd(text)); }

QDate date(const QString& text, const char* option) {
    const QDate d = QDate::fromString(text, "dd/MM/yyyy");
    if (!d.isValid()) usage(QString::fromUtf8("--%1 deve ser uma data DD/MM/AAAA: '%2'").arg(option, text));
    return d;
}

int number(const QString& text, const char* option, int min, int max) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < min || n > max)
        usage(QString::fromUtf8("--%1 deve ser um número de %2 a %3: '%4'").arg(option).arg(min).arg(max).arg(text));
    return n;
}

QString selection(const QString& text, const char* option) {
    if (text != "T" && (text.size() < 3 || !text.startsWith('_') || !text.endsWith('_')))
        usage(QString::fromUtf8("--%1 deve ser T ou uma lista de chaves _chave1_chave2_: '%2'").arg(option, text));
    return text;
}

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QString::fromUtf8("Gera o relatório KRV520 (Requisição de Produtos), ou com --documento o KRV521 (Pedido ao "
                          "Operador Logístico) ou o KRV522 (Lista de Separação), em PDF ou CSV."));
    parser.addHelpOption();
    parser.addVersionOption();
    const auto value = [&](const char* name, const char* description, const char* valueName) {
        parser.addOption(QCommandLineOption(name, QString::fromUtf8(description), QString::fromUtf8(valueName)));
    };
    const auto flag = [&](const char* name, const char* description) {
        parser.addOption(QCommandLineOption(name, QString::fromUtf8(description)));
    };
    value("server", "servidor de aplicação (tls:HOST:PORTA para TLS); vários separados por vírgula",
          "HOST:PORTA[,HOST:PORTA]");
    value("token-file", "arquivo com o token do servidor", "ARQUIVO");
    value("operador",
          "operador que entra no servidor (senha em KRV_SENHA ou --senha-arquivo) e sai no rodapé "
          "(padrão krv-report)",
          "código");
    value("senha-arquivo", "arquivo cuja primeira linha é a senha do operador", "ARQUIVO");
    value("ca", "conecta com TLS e confere o certificado do servidor com esta CA", "ARQUIVO");
    value("documento",
          "pedidos: os pedidos gerados da filial, do operador logístico ou de todas (T), um bloco por pedido; "
          "separacao: a lista de separação de um operador logístico",
          "pedidos|separacao");
    value("filial", "código da filial (com --documento pedidos também o de um operador logístico, ou T)", "código");
    value("de", "data inicial", "DD/MM/AAAA");
    value("ate", "data final", "DD/MM/AAAA");
    value("servicos", "T ou chaves dos serviços (filial+serviço)", "T|chaves");
    value("turnos", "T ou chaves dos turnos (filial+serviço+turno)", "T|chaves");
    value("agrupamentos", "T ou chaves dos agrupamentos de produto", "T|chaves");
    value("ordena", "C por código, A alfabética por nível", "C|A");
    value("nivel", "nível da ordenação alfabética", "N");
    flag("cardapio", "imprime o cardápio");
    flag("quebra-pagina", "uma página por turno (com --documento pedidos, uma por pedido)");
    flag("resumo", "fecha com o resumo por produto do período");
    value("linhas-branco", "linhas em branco após cada turno", "N");
    value("saida", "arquivo a gerar", "ARQUIVO.pdf|ARQUIVO.csv");
}

void requireComplete(const QCommandLineParser& parser) {
    if (!parser.positionalArguments().isEmpty())
        usage(QString::fromUtf8("argumento inesperado: ") + parser.positionalArguments().first());
    for (const char* required : {"server", "filial", "de", "ate", "saida"})
        if (!parser.isSet(required)) usage(QString::fromUtf8("--%1 deve ser informado").arg(required));
}

std::string fileName(const QCommandLineParser& parser, const char* option) {
    return QFile::encodeName(parser.value(option)).toStdString();
}

// With --token-file the operator is only the footer's, as it always was; without it a
// named operator logs in.
rpc::ClientLogin loginOf(const QCommandLineParser& parser, const ReportCommand& r) {
    rpc::ClientLogin login;
    if (parser.isSet("operador") && !parser.isSet("token-file")) login.operatorName = ToStd(r.operador);
    login.passwordFile = fileName(parser, "senha-arquivo");
    login.tokenFile = fileName(parser, "token-file");
    login.caFile = fileName(parser, "ca");
    return login;
}

void readConnection(const QCommandLineParser& parser, ReportCommand& r) {
    if (parser.isSet("operador")) r.operador = parser.value("operador").trimmed();
    if (r.operador.isEmpty()) usage(QString::fromUtf8("--operador não pode ser vazio"));
    rpc::Endpoint endpoint;
    try {
        rpc::applyServerList(ToStd(parser.value("server")), endpoint);
        endpoint.compression = true;
        endpoint.answersInParts = true;
    } catch (const std::invalid_argument& e) {
        usage(QString::fromUtf8("--server: ") + QString::fromUtf8(e.what()));
    }
    try {
        rpc::applyClientLogin(loginOf(parser, r), std::getenv(rpc::kPasswordVariable), endpoint);
    } catch (const std::runtime_error& e) {
        usage(QString::fromUtf8(e.what()));
    }
    r.host = QString::fromStdString(endpoint.host);
    r.port = endpoint.port;
    r.token = QString::fromStdString(endpoint.token);
    r.password = QString::fromStdString(endpoint.password);
    r.tls = endpoint.tls;
    r.caFile = QFile::decodeName(endpoint.caFile.c_str());
}

void readFilter(const QCommandLineParser& parser, ReportCommand& r) {
    r.filial = Ajusta(parser.value("filial"), ajRequisitionBranch);
    r.de = date(parser.value("de"), "de");
    r.ate = date(parser.value("ate"), "ate");
    if (r.ate < r.de) usage(QString::fromUtf8("--de deve ser menor ou igual a --ate"));
    if (parser.isSet("servicos")) r.servicos = selection(parser.value("servicos"), "servicos");
    if (parser.isSet("turnos")) r.turnos = selection(parser.value("turnos"), "turnos");
    if (parser.isSet("agrupamentos")) r.agrupamentos = selection(parser.value("agrupamentos"), "agrupamentos");
}

void readDocument(const QCommandLineParser& parser, ReportCommand& r) {
    if (!parser.isSet("documento")) return;
    r.documento = parser.value("documento");
    if (r.documento != "pedidos" && r.documento != "separacao")
        usage(QString::fromUtf8("--documento deve ser pedidos ou separacao: '%1'").arg(r.documento));
    for (const char* requisitionOnly : {"servicos", "turnos", "agrupamentos", "ordena", "nivel", "cardapio",
                                        "linhas-branco"})
        if (parser.isSet(requisitionOnly))
            usage(QString::fromUtf8("--%1 vale só para o relatório de requisições, não com --documento")
                      .arg(requisitionOnly));
    if (r.documento == "separacao" && r.filial == "T")
        usage(QString::fromUtf8("--documento separacao exige --filial de um operador logístico"));
}

void readLayout(const QCommandLineParser& parser, ReportCommand& r) {
    if (parser.isSet("ordena")) {
        r.ordena = parser.value("ordena");
        if (r.ordena != "C" && r.ordena != "A") usage(QString::fromUtf8("--ordena deve ser C ou A"));
    }
    if (parser.isSet("nivel")) r.nivel = number(parser.value("nivel"), "nivel", 0, 99);
    r.cardapio = parser.isSet("cardapio");
    r.quebraPagina = parser.isSet("quebra-pagina");
    r.resumo = parser.isSet("resumo");
    if (parser.isSet("linhas-branco")) r.linhasBranco = number(parser.value("linhas-branco"), "linhas-branco", 0, 999);
    r.saida = parser.value("saida");
    const QString kind = QFileInfo(r.saida).suffix().toLower();
    if (kind != "pdf" && kind != "csv")
        usage(QString::fromUtf8("--saida deve terminar em .pdf ou .csv: '%1'").arg(r.saida));
}

}  // namespace

bool ReportCommand::csv() const { return QFileInfo(saida).suffix().toLower() == "csv"; }

QString ReportCommand::reportCode() const {
    if (documento == "pedidos") return "KRV521";
    if (documento == "separacao") return "KRV522";
    return "KRV520";
}

ReportCommand ParseReportCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments)) usage(parser.errorText());
    ReportCommand r;
    if (parser.isSet("help")) {
        r.shown = parser.helpText();
        return r;
    }
    if (parser.isSet("version")) {
        r.shown = QCoreApplication::applicationName() + " " + QCoreApplication::applicationVersion() + "\n";
        return r;
    }
    requireComplete(parser);
    readConnection(parser, r);
    readFilter(parser, r);
    readLayout(parser, r);
    readDocument(parser, r);
    return r;
}

}  // namespace krv::report
