// krv-report from a shell: the requisition report of a real server, calculated first, written
// to PDF and CSV; and no file at all, with a reason, when it cannot be made.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

#include "app/EmbeddedServer.h"
#include "rpc/Client.h"
#include "support/ReportSamples.h"

using namespace krv;

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString errors;
};

// `args` with the value after `option` replaced.
QStringList With(QStringList args, const QString& option, const QString& value) {
    args[args.indexOf(option) + 1] = value;
    return args;
}

ProgramRun RunReport(const QStringList& args) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KRV_SENHA", "demo");  // the demo operator's, with --operador ADMIN
    process.setProcessEnvironment(environment);
    process.start(QDir(KRV_BIN_DIR).filePath("krv-report"), args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardError())};
}

class ReportProgram : public ::testing::Test {
protected:
    void SetUp() override {
        app::EmbeddedServer::Config config;
        config.program = QDir(KRV_BIN_DIR).filePath("krv-server");
        config.dataDir = dir.filePath("var");
        QString error;
        ASSERT_TRUE(server.start(config, error)) << error.toStdString();
        server_ = QString("127.0.0.1:%1").arg(server.port());
    }

    // Three days of requisitions of branch 0001, every service, as the screen calculates them.
    void Calculate() {
        rpc::Client client;
        client.connect({"127.0.0.1", uint16_t(server.port()), "", "ADMIN", "demo"});  // the demo operator
        std::vector<Variant> list{"0001", "T", ""};
        const Variant services = client.call("KRV52000.rdmPedReq", "GetNrListaServ", list).array().at(1);
        const DateTime today = DateTime::fromDate(first.year(), first.month(), first.day());
        std::vector<Variant> args{"0001",  today,  today.addDays(2),       0.0, "N", "CFP",
                                  "ADMIN", "0001", services.array().at(0), "",  ""};
        const Variant result = client.call("KRV52000.rdmPedReq", "CalculaRequisicoes", args);
        ASSERT_TRUE(result.array().at(0).asBool()) << result.array().at(1).asString();
    }

    QStringList Args(const QString& output) const {
        return {"--server", server_,
                "--operador", "ADMIN",
                "--filial", "0001",
                "--de",     first.toString("dd/MM/yyyy"),
                "--ate",    first.addDays(2).toString("dd/MM/yyyy"),
                "--saida",  output};
    }

    QTemporaryDir dir;
    app::EmbeddedServer server;
    QString server_;
    QDate first = QDate::currentDate();
};

TEST_F(ReportProgram, WritesTheCalculatedReportAsPdfAndCsv) {
    Calculate();
    const QString pdf = dir.filePath("krv520.pdf");
    const ProgramRun printed = RunReport(Args(pdf) << "--cardapio"
                                                   << "--linhas-branco"
                                                   << "2");
    ASSERT_EQ(printed.exitCode, 0) << printed.errors.toStdString();
    const QString text = test::PdfText(pdf);
    EXPECT_TRUE(text.contains("Requisição de Produtos"));
    EXPECT_TRUE(text.contains("Filial: 0001 - Metalúrgica Paulista"));
    EXPECT_TRUE(text.contains("Serviço: 0002 - Almoço"));
    EXPECT_TRUE(text.contains("Cardápio:"));
    EXPECT_TRUE(text.contains("Total do turno"));
    EXPECT_TRUE(text.contains(QString("Dia: %1").arg(first.addDays(2).toString("dd/MM/yyyy"))));
    EXPECT_FALSE(text.contains(QString::fromUtf8("Resumo por produto")));

    // A page per shift and the summary: every page names its day, the last sums the period.
    const ProgramRun summed = RunReport(Args(pdf) << "--quebra-pagina"
                                                  << "--resumo");
    ASSERT_EQ(summed.exitCode, 0) << summed.errors.toStdString();
    const QStringList pages = test::PdfText(pdf).split('\f', Qt::SkipEmptyParts);
    ASSERT_GT(pages.size(), 3);
    for (qsizetype i = 0; i + 1 < pages.size(); ++i) EXPECT_TRUE(pages[i].contains("Dia: ")) << "page " << i + 1;
    EXPECT_TRUE(pages.last().contains(QString::fromUtf8("Resumo por produto no período")));
    EXPECT_TRUE(pages.last().contains("Embalagens"));
    EXPECT_TRUE(test::SavePdfPage(pdf, int(pages.size()), QDir(KRV_SCREENS_DIR).filePath("krv-report-resumo.png")));
    EXPECT_TRUE(test::SavePdfPage(pdf, 2, QDir(KRV_SCREENS_DIR).filePath("krv-report-pagina-2.png")));

    const QString csv = dir.filePath("krv520.csv");
    const ProgramRun saved = RunReport(Args(csv));
    ASSERT_EQ(saved.exitCode, 0) << saved.errors.toStdString();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(
        bytes.startsWith("\xEF\xBB\xBF"
                         "Dia;Serviço;Turno;Código;Produto;Un.;"));
    EXPECT_GT(bytes.count('\n'), 50) << "one line per item of three days";
}

TEST_F(ReportProgram, WritesNoFileAndSaysWhyWhenTheReportCannotBeMade) {
    const QString out = dir.filePath("nada.pdf");
    const struct {
        QStringList args;
        QString says;
    } cases[] = {
        {With(Args(out), "--de", "31/02/2026"), "--de"},
        {With(Args(out), "--server", "127.0.0.1:1"), "127.0.0.1:1"},
        {With(Args(out), "--filial", "9999"), "9999"},
        {Args(dir.filePath("nada.txt")), ".txt"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunReport(c.args);
        EXPECT_NE(run.exitCode, 0) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.errors.contains(c.says)) << run.errors.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
}

// The order documents: every kitchen of the demo's logistic operator calculated in one call,
// everything ordered, then --documento pedidos and separacao; what the files add up to is
// what the orders hold.
class OrderDocuments : public ReportProgram {
protected:
    void SetUp() override {
        ReportProgram::SetUp();
        client.connect({"127.0.0.1", uint16_t(server.port()), "", "ADMIN", "demo"});
    }

    Variant call(const char* method, std::vector<Variant> args) {
        const Variant result = client.call("KRV52000.rdmPedReq", method, args);
        EXPECT_TRUE(result.array().at(0).asBool()) << method << ": " << result.array().at(1).asString();
        return result.array().at(1);
    }

    // Three days of every kitchen of 0007, all of it ordered per shift; answers the total
    // ordered per order, as GetItensPedido reads it back.
    std::map<int64_t, double> OrderEverything() {
        const DateTime start = DateTime::fromDate(first.year(), first.month(), first.day()), end = start.addDays(2);
        call("CalculaRequisicoesFiliais", {"0007", start, end, 0.0, "S", "CFP", "ADMIN"});
        const std::string services = call("GetNrListaServ", {"0001", "T", ""}).array().at(0).asString();
        const std::string shifts = call("GetNrListaTurno", {services, "", "T"}).array().at(0).asString();
        DataPacket listed = call("getRequisicoes", {"T", start, end, shifts, "T"}).packet();
        for (Row& row : listed.rows) row[0] = Variant("S");
        const std::string list = call("GetNrListaRequiPedido", {Variant(listed), ""}).array().at(0).asString();
        call("GeraPedidoPorRequisicao", {"0001", start, end, list, "S", "ADMIN", "0001", "", ""});
        std::map<int64_t, double> totals;
        const DataPacket orders = call("GetPedidos", {"T", start, end, "A"}).packet();
        for (const Row& order : orders.rows) {
            const int64_t number = order[size_t(orders.fieldIndex("NRPEDEXOL"))].asInt();
            const DataPacket lines = call("GetItensPedido", {number}).packet();
            for (const Row& line : lines.rows) totals[number] += line[size_t(lines.fieldIndex("QTPEDIDO"))].asDouble();
        }
        return totals;
    }

    QStringList Document(const char* kind, const QString& branch, const QString& output) const {
        return With(Args(output), "--filial", branch) << "--documento" << kind;
    }

    // The sum of a column of a CSV written by the engine, per value of another.
    static std::map<QString, double> CsvSums(const QString& path, const QString& keyColumn, const QString& column) {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).remove(QChar(0xFEFF)).split("\r\n", Qt::SkipEmptyParts);
        const QStringList header = lines.takeFirst().split(';');
        const qsizetype k = header.indexOf(keyColumn), c = header.lastIndexOf(column);
        EXPECT_GE(k, 0);
        EXPECT_GE(c, 0);
        std::map<QString, double> sums;
        for (const QString& line : lines) {
            const QStringList cells = line.split(';');
            sums[cells.value(k)] += QString(cells.value(c)).remove('.').replace(',', '.').toDouble();
        }
        return sums;
    }

    rpc::Client client;
};

TEST_F(OrderDocuments, ThePrintedOrdersAndThePickListAddUpToTheOrders) {
    const std::map<int64_t, double> ordered = OrderEverything();
    ASSERT_GT(ordered.size(), 10u);
    // Each line is printed to three decimals.
    const double tolerance = 0.0005 * 50;

    const QString orders = dir.filePath("pedidos.csv");
    ProgramRun run = RunReport(Document("pedidos", "T", orders));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const std::map<QString, double> printed = CsvSums(orders, QString::fromUtf8("Nº do pedido"), "Pedido");
    ASSERT_EQ(printed.size(), ordered.size());
    for (const auto& [number, total] : ordered) EXPECT_NEAR(printed.at(QString::number(number)), total, tolerance);

    const QString picks = dir.filePath("separacao.csv");
    run = RunReport(Document("separacao", "0007", picks));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const std::map<QString, double> picked = CsvSums(picks, "Pedido", "Quantidade");
    ASSERT_EQ(picked.size(), ordered.size());
    for (const auto& [number, total] : ordered) EXPECT_NEAR(picked.at(QString::number(number)), total, tolerance);

    const QString pdf = dir.filePath("separacao.pdf");
    run = RunReport(Document("separacao", "0007", pdf));
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    const QStringList pages = test::PdfText(pdf).split('\f', Qt::SkipEmptyParts);
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_TRUE(pages.first().contains(QString::fromUtf8("Lista de Separação")));
    EXPECT_TRUE(pages.first().contains("separar"));
    EXPECT_TRUE(pages.last().contains(QString::fromUtf8("Total por produto no período")));
    EXPECT_TRUE(test::SavePdfPage(pdf, 1, QDir(KRV_SCREENS_DIR).filePath("KRV522.png")));

    const QString one = dir.filePath("pedido.pdf");
    run = RunReport(Document("pedidos", "0001", one) << "--quebra-pagina");
    ASSERT_EQ(run.exitCode, 0) << run.errors.toStdString();
    EXPECT_TRUE(test::PdfText(one).split('\f', Qt::SkipEmptyParts).first().contains("Total do pedido"));
    EXPECT_TRUE(test::SavePdfPage(one, 1, QDir(KRV_SCREENS_DIR).filePath("KRV521.png")));

    // Refused with the reason, and no file.
    const QString none = dir.filePath("nada.pdf");
    run = RunReport(Document("separacao", "0001", none));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.errors.contains(QString::fromUtf8("não é um operador logístico"))) << run.errors.toStdString();
    EXPECT_EQ(RunReport(Document("compras", "0001", none)).exitCode, 2);
    EXPECT_EQ(RunReport(Document("pedidos", "T", none) << "--cardapio").exitCode, 2);
    EXPECT_FALSE(QFile::exists(none));
}

}  // namespace
