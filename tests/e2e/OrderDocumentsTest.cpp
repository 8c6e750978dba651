// The order documents from a shell: every kitchen of the demo's logistic operator calculated
// in one call, everything ordered, then krv-report --documento pedidos and separacao; what
// the files add up to is what the orders hold.
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

constexpr const char* kPedReq = "KRV52000.rdmPedReq";

class OrderDocuments : public ::testing::Test {
protected:
    void SetUp() override {
        app::EmbeddedServer::Config config;
        config.program = QDir(KRV_BIN_DIR).filePath("krv-server");
        config.dataDir = dir.filePath("var");
        QString error;
        ASSERT_TRUE(server.start(config, error)) << error.toStdString();
        client.connect({"127.0.0.1", uint16_t(server.port()), "", "ADMIN", "demo"});
    }

    Variant call(const char* method, std::vector<Variant> args) {
        const Variant result = client.call(kPedReq, method, args);
        EXPECT_TRUE(result.array().at(0).asBool()) << method << ": " << result.array().at(1).asString();
        return result.array().at(1);
    }

    // Three days of every kitchen of 0007, all of it ordered per shift; answers the total
    // ordered per order, as GetItensPedido reads it back.
    std::map<int64_t, double> orderEverything() {
        const DateTime first = DateTime::fromDate(day.year(), day.month(), day.day()), last = first.addDays(2);
        call("CalculaRequisicoesFiliais", {"0007", first, last, 0.0, "S", "CFP", "ADMIN"});
        const std::string services = call("GetNrListaServ", {"0001", "T", ""}).array().at(0).asString();
        const std::string shifts = call("GetNrListaTurno", {services, "", "T"}).array().at(0).asString();
        DataPacket listed = call("getRequisicoes", {"T", first, last, shifts, "T"}).packet();
        for (Row& row : listed.rows) row[0] = Variant("S");
        const std::string list = call("GetNrListaRequiPedido", {Variant(listed), ""}).array().at(0).asString();
        call("GeraPedidoPorRequisicao", {"0001", first, last, list, "S", "ADMIN", "0001", "", ""});
        std::map<int64_t, double> totals;
        const DataPacket orders = call("GetPedidos", {"T", first, last, "A"}).packet();
        for (const Row& order : orders.rows) {
            const int64_t number = order[size_t(orders.fieldIndex("NRPEDEXOL"))].asInt();
            const DataPacket lines = call("GetItensPedido", {number}).packet();
            for (const Row& line : lines.rows) totals[number] += line[size_t(lines.fieldIndex("QTPEDIDO"))].asDouble();
        }
        return totals;
    }

    int runReport(const QStringList& args) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KRV_SENHA", "demo");
        process.setProcessEnvironment(environment);
        process.start(QDir(KRV_BIN_DIR).filePath("krv-report"),
                      QStringList{"--server", QString("127.0.0.1:%1").arg(server.port()), "--operador", "ADMIN",
                                  "--de", day.toString("dd/MM/yyyy"), "--ate", day.addDays(2).toString("dd/MM/yyyy")}
                          << args);
        process.waitForFinished(60000);
        errors = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    // The sum of a column of a CSV written by the engine, per value of another.
    static std::map<QString, double> csvSums(const QString& path, const QString& keyColumn, const QString& column) {
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

    QTemporaryDir dir;
    app::EmbeddedServer server;
    rpc::Client client;
    QDate day = QDate::currentDate();
    QString errors;
};

}  // namespace

TEST_F(OrderDocuments, ThePrintedOrdersAndThePickListAddUpToTheOrders) {
    const std::map<int64_t, double> ordered = orderEverything();
    ASSERT_GT(ordered.size(), 10u);

    const QString orders = dir.filePath("pedidos.csv");
    ASSERT_EQ(runReport({"--documento", "pedidos", "--filial", "T", "--saida", orders}), 0) << errors.toStdString();
    const std::map<QString, double> printed = csvSums(orders, QString::fromUtf8("Nº do pedido"), "Pedido");
    ASSERT_EQ(printed.size(), ordered.size());
    for (const auto& [number, total] : ordered)
        EXPECT_NEAR(printed.at(QString::number(number)), total, 0.0005 * 50) << number;

    const QString picks = dir.filePath("separacao.csv");
    ASSERT_EQ(runReport({"--documento", "separacao", "--filial", "0007", "--saida", picks}), 0) << errors.toStdString();
    const std::map<QString, double> picked = csvSums(picks, "Pedido", "Quantidade");
    ASSERT_EQ(picked.size(), ordered.size());
    for (const auto& [number, total] : ordered) EXPECT_NEAR(picked.at(QString::number(number)), total, 0.0005 * 50);

    const QString pdf = dir.filePath("separacao.pdf");
    ASSERT_EQ(runReport({"--documento", "separacao", "--filial", "0007", "--saida", pdf}), 0) << errors.toStdString();
    const QStringList pages = test::PdfText(pdf).split('\f', Qt::SkipEmptyParts);
    ASSERT_FALSE(pages.isEmpty());
    EXPECT_TRUE(pages.first().contains(QString::fromUtf8("Lista de Separação")));
    EXPECT_TRUE(pages.first().contains("separar"));
    EXPECT_TRUE(pages.last().contains(QString::fromUtf8("Total por produto no período")));
    EXPECT_TRUE(test::SavePdfPage(pdf, 1, QDir(KRV_SCREENS_DIR).filePath("KRV522.png")));

    const QString one = dir.filePath("pedido.pdf");
    ASSERT_EQ(runReport({"--documento", "pedidos", "--filial", "0001", "--quebra-pagina", "--saida", one}), 0)
        << errors.toStdString();
    const QStringList orderPages = test::PdfText(one).split('\f', Qt::SkipEmptyParts);
    EXPECT_TRUE(orderPages.first().contains("Total do pedido"));
    EXPECT_TRUE(test::SavePdfPage(one, 1, QDir(KRV_SCREENS_DIR).filePath("KRV521.png")));

    // Refused with the reason, and no file.
    const QString none = dir.filePath("nada.pdf");
    EXPECT_EQ(runReport({"--documento", "separacao", "--filial", "0001", "--saida", none}), 1);
    EXPECT_TRUE(errors.contains(QString::fromUtf8("não é um operador logístico"))) << errors.toStdString();
    EXPECT_EQ(runReport({"--documento", "compras", "--filial", "0001", "--saida", none}), 2);
    EXPECT_EQ(runReport({"--documento", "pedidos", "--filial", "T", "--cardapio", "--saida", none}), 2);
    EXPECT_FALSE(QFile::exists(none));
}
