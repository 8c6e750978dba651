// krv-report from a shell: the requisition report of a real server, calculated first, written
// to PDF and CSV; and no file at all, with a reason, when it cannot be made.
#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

}  // namespace
