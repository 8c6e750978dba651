// krv-report --server HOST:PORT --filial CODE --de DD/MM/AAAA --ate DD/MM/AAAA [options]
//            --saida FILE.pdf|FILE.csv
// Writes the requisition report KRV520 to a file. Exit status 0 only when the file was
// written; otherwise one Portuguese line on standard error.
#include <QCommandLineParser>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>
#include <stdexcept>

#include "host/models/Convert.h"
#include "host/report/ReportEngine.h"
#include "host/report/ReportRows.h"
#include "host/screens/Consiste.h"
#include "host/screens/ReportDesigner.h"
#include "host/session/DBPicture.h"
#include "host/session/NetConnection.h"
#include "host/session/Session.h"

using namespace krv;
using namespace krv::host;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void usage(const QString& text) { throw UsageError(ToStd(text)); }

struct Request {
    QString host;
    int port = 0;
    QString token;
    QString filial;
    QDate de, ate;
    QString servicos = "T", turnos = "T", agrupamentos = "T";
    QString ordena = "C";
    int nivel = 0;
    bool cardapio = false, quebraPagina = false, resumo = false;
    int linhasBranco = 0;
    QString saida;
};

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

Request parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QString::fromUtf8("Gera o relatório KRV520 (Requisição de Produtos) em PDF ou CSV."));
    parser.addHelpOption();
    const auto value = [&](const char* name, const char* description, const char* valueName) {
        parser.addOption(QCommandLineOption(name, QString::fromUtf8(description), valueName));
    };
    value("server", "servidor de aplicação HOST:PORTA", "HOST:PORT");
    value("filial", "código da filial", "CODE");
    value("de", "data inicial", "DD/MM/AAAA");
    value("ate", "data final", "DD/MM/AAAA");
    value("servicos", "T ou chaves dos serviços (filial+serviço)", "T|KEYLIST");
    value("turnos", "T ou chaves dos turnos (filial+serviço+turno)", "T|KEYLIST");
    value("agrupamentos", "T ou chaves dos agrupamentos de produto", "T|KEYLIST");
    value("ordena", "C por código, A alfabética por nível", "C|A");
    value("nivel", "nível da ordenação alfabética", "N");
    parser.addOption(QCommandLineOption("cardapio", QString::fromUtf8("imprime o cardápio")));
    parser.addOption(QCommandLineOption("quebra-pagina", QString::fromUtf8("uma página por turno")));
    parser.addOption(QCommandLineOption("resumo", QString::fromUtf8("fecha com o resumo por produto do período")));
    value("linhas-branco", "linhas em branco após cada turno", "N");
    value("token-file", "arquivo com o token do servidor", "F");
    value("saida", "arquivo a gerar", "FILE.pdf|FILE.csv");
    if (!parser.parse(arguments)) usage(parser.errorText());
    if (parser.isSet("help")) {
        QTextStream(stdout) << parser.helpText();
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        usage(QString::fromUtf8("argumento inesperado: ") + parser.positionalArguments().first());
    for (const char* required : {"server", "filial", "de", "ate", "saida"})
        if (!parser.isSet(required)) usage(QString::fromUtf8("--%1 deve ser informado").arg(required));

    Request r;
    const QString server = parser.value("server");
    const qsizetype colon = server.lastIndexOf(':');
    if (colon <= 0) usage(QString::fromUtf8("--server deve ser HOST:PORTA: '%1'").arg(server));
    r.host = server.left(colon);
    r.port = number(server.mid(colon + 1), "server", 1, 65535);
    r.filial = Ajusta(parser.value("filial"), ajRequisitionBranch);
    r.de = date(parser.value("de"), "de");
    r.ate = date(parser.value("ate"), "ate");
    if (r.ate < r.de) usage(QString::fromUtf8("--de deve ser menor ou igual a --ate"));
    if (parser.isSet("servicos")) r.servicos = selection(parser.value("servicos"), "servicos");
    if (parser.isSet("turnos")) r.turnos = selection(parser.value("turnos"), "turnos");
    if (parser.isSet("agrupamentos")) r.agrupamentos = selection(parser.value("agrupamentos"), "agrupamentos");
    if (parser.isSet("ordena")) {
        r.ordena = parser.value("ordena");
        if (r.ordena != "C" && r.ordena != "A") usage(QString::fromUtf8("--ordena deve ser C ou A"));
    }
    if (parser.isSet("nivel")) r.nivel = number(parser.value("nivel"), "nivel", 0, 99);
    r.cardapio = parser.isSet("cardapio");
    r.quebraPagina = parser.isSet("quebra-pagina");
    r.resumo = parser.isSet("resumo");
    if (parser.isSet("linhas-branco")) r.linhasBranco = number(parser.value("linhas-branco"), "linhas-branco", 0, 999);
    if (parser.isSet("token-file")) {
        QFile file(parser.value("token-file"));
        if (!file.open(QIODevice::ReadOnly))
            usage(
                QString::fromUtf8("não foi possível ler o token em '%1': %2").arg(file.fileName(), file.errorString()));
        r.token = QString::fromUtf8(file.readAll()).trimmed();
    }
    r.saida = parser.value("saida");
    const QString kind = QFileInfo(r.saida).suffix().toLower();
    if (kind != "pdf" && kind != "csv")
        usage(QString::fromUtf8("--saida deve terminar em .pdf ou .csv: '%1'").arg(r.saida));
    return r;
}

QString listNumber(const Variant& payload) {
    if (payload.type() != Variant::Type::Array || payload.array().empty())
        throw std::runtime_error("Resposta inválida do servidor");
    return ToQString(payload.array().front());
}

void run(const Request& r) {
    SetSession({r.filial, "krv-report", r.host, r.port, r.token});
    TNetConnection pedReq;
    pedReq.ServerName = "KRV52000.rdmPedReq";
    TNetConnection report;
    report.ServerName = kReportServer;
    for (TNetConnection* net : {&pedReq, &report}) {
        net->Host = r.host;
        net->Port = r.port;
        net->Token = r.token;
    }

    TReportDesigner designer;
    designer.ReportCode = "KRV520";
    if (!designer.LoadDefinition())
        throw std::runtime_error(
            ToStd(QString::fromUtf8("O arquivo contendo a definição do relatório de código 'KRV520' não foi "
                                    "encontrado no diretório '%1'.")
                      .arg(TReportDesigner::ReportsDir())));

    // The server keeps the selections as lists; they go once the report is written or failed.
    QString servicos = r.servicos, turnos = r.turnos, nrServ, nrTurno;
    const auto deleteLists = [&] {
        QString calc, calcBranch;
        if (nrServ.isEmpty() && nrTurno.isEmpty()) return;
        pedReq.Call("apagaListas", {Ref(nrServ), Ref(nrTurno), Ref(calc), Ref(calcBranch)});
    };
    try {
        nrServ = listNumber(CheckResultServ(pedReq.Call("GetNrListaServ", {r.filial, Ref(servicos), Ref(nrServ)})));
        nrTurno = listNumber(CheckResultServ(pedReq.Call("GetNrListaTurno", {nrServ, Ref(nrTurno), Ref(turnos)})));
        TDBPicture& picture = DBPictObj(0);
        TParams params(std::vector<std::string>{"P_CDFILIAL", "P_DATAINI", "P_DATAFIN", "P_NRLISTASERV",
                                                "P_NRLISTATURNO", "P_TAMNIV", "P_ORDENA", "P_IDIMPRIMECARD",
                                                "P_IDQUEBRAPAGINA", "P_NRLINHABRANCA", "P_LISTAGRUPPROD",
                                                "P_IDRESUMO"});
        params.ParamByName("P_CDFILIAL").SetAsString(ToStd(r.filial));
        params.ParamByName("P_DATAINI").SetAsVariant(DateTime::fromDate(r.de.year(), r.de.month(), r.de.day()));
        params.ParamByName("P_DATAFIN").SetAsVariant(DateTime::fromDate(r.ate.year(), r.ate.month(), r.ate.day()));
        params.ParamByName("P_NRLISTASERV").SetAsString(ToStd(nrServ));
        params.ParamByName("P_NRLISTATURNO").SetAsString(ToStd(nrTurno));
        params.ParamByName("P_TAMNIV")
            .SetAsInteger(picture.TamAcNivel(r.ordena == "C" ? picture.GetTtNiveis() : r.nivel));
        params.ParamByName("P_ORDENA").SetAsString(ToStd(r.ordena));
        params.ParamByName("P_IDIMPRIMECARD").SetAsString(r.cardapio ? "S" : "N");
        params.ParamByName("P_IDQUEBRAPAGINA").SetAsString(r.quebraPagina ? "S" : "N");
        params.ParamByName("P_NRLINHABRANCA").SetAsInteger(r.linhasBranco);
        params.ParamByName("P_LISTAGRUPPROD").SetAsString(ToStd(r.agrupamentos));
        params.ParamByName("P_IDRESUMO").SetAsString(r.resumo ? "S" : "N");

        const DataPacket rows = GetReportRows(report, designer.ReportCode, params);
        const ReportDefinition& definition = designer.Definition();
        if (QFileInfo(r.saida).suffix().toLower() == "csv") {
            WriteReportCsv(definition, params, rows, r.saida);
        } else {
            const QPageLayout page = DefaultPageLayout(definition);
            WriteReportPdf(LayoutReport(definition, params, rows, page, {QDateTime::currentDateTime(), "krv-report"}),
                           page, r.saida);
        }
    } catch (...) {
        try {
            deleteLists();
        } catch (...) {
            // The report's own failure is what the caller must see.
        }
        throw;
    }
    // The file is written; lists left behind are purged by the server once unused for a week.
    try {
        deleteLists();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krv-report: aviso: listas não apagadas: %s\n", e.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Scheduled runs have no display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    try {
        run(parse(QGuiApplication::arguments()));
        return 0;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "krv-report: %s\n", e.what());
        return kExitUsage;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krv-report: %s\n", e.what());
        return kExitFailure;
    }
}
