// The requisition report from the screen: the query parameters taken from the filter, the
// preparation before each action, and what each action produces.
#include <QDir>
#include <QFile>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <map>

#include "host/screens/ReportDesigner.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"
#include "support/ReportSamples.h"

using namespace krv;

namespace {

class Report : public test::ShownScreen {
protected:
    void SetUp() override {
        ASSERT_TRUE(QFile::copy(QString(KRV_REPORTS_DIR) + "/KRV520.json", reports.filePath("KRV520.json")));
        QFile(reports.filePath("KRV520.json")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        host::TReportDesigner::SetReportsDir(reports.path());
        reportRows = test::RequisitionReportRows(3, 2);
        ShownScreen::SetUp();
    }
    void TearDown() override { host::TReportDesigner::SetReportsDir({}); }

    // The parameters of the last report asked of the server, by name.
    std::map<std::string, Variant> sentParams() const {
        std::map<std::string, Variant> out;
        for (const auto& call : server.calls())
            if (call.method == "GetDados")
                for (const Variant& pair : call.args.at(1).array()) out[pair.array()[0].str()] = pair.array()[1];
        return out;
    }
    QString file(const char* name) const { return output.filePath(name); }
    // Each report button with the answer that closes the dialog it opens, unused.
    std::vector<std::pair<QAbstractButton*, std::function<void()>>> actions() {
        return {{form->sbtPrint, [this] { ui.answerPrint(false); }},
                {form->sbtPreview, [] {}},
                {form->sbtSalvarComo, [this] { ui.answerFileName(""); }},
                {form->sbtConfigImpr, [this] { ui.answerPrint(false); }},
                {form->sbtReportEdit, [this] { ui.cancelInput(); }}};
    }

    QTemporaryDir reports, output;
};

TEST_F(Report, QueryParametersComeFromTheFilterAndOnlyThoseTheQueryTakes) {
    // A query without parameters computes nothing and asks the server nothing.
    TParams none;
    bool flag = true;
    form->rpddPadraoBeforeGetQueryParams(none, flag);
    EXPECT_TRUE(server.calls().empty());
    EXPECT_TRUE(flag);

    // The level: all of the code for "Código", whatever the spin edit shows; the blank lines
    // only when ticked. Neither needs a list.
    form->nedLinhasBranco->setText("5");
    form->sedNiveOrde->setValue(2);
    const auto levelAndBlanks = [&] {
        TParams params(std::vector<std::string>{"P_TAMNIV", "P_NRLINHABRANCA", "P_ORDENA"});
        form->rpddPadraoBeforeGetQueryParams(params, flag);
        return std::vector<Variant>{params.ParamByName("P_TAMNIV").Value(),
                                    params.ParamByName("P_NRLINHABRANCA").Value(),
                                    params.ParamByName("P_ORDENA").Value()};
    };
    EXPECT_EQ(levelAndBlanks(), (std::vector<Variant>{10, 0, "C"}));
    form->rbtOrdenaAlfab->setChecked(true);
    form->chbLinhasBranco->setChecked(true);
    EXPECT_EQ(levelAndBlanks(), (std::vector<Variant>{3, 5, "A"}));
    EXPECT_TRUE(methodsOf("GetNrLista").empty());

    // The whole set, as the preview sends it.
    form->chbImpCard->setChecked(true);
    form->chbQuebraPagina->setChecked(false);
    markList(form->rbtLAgrupProd, form->sbtAgrupProd, "_01        001_");
    server.clearCalls();
    form->sbtPreview->click();
    EXPECT_EQ(sentParams(), (std::map<std::string, Variant>{{"P_CDFILIAL", "0001"},
                                                            {"P_DATAINI", processingDate},
                                                            {"P_DATAFIN", processingDate},
                                                            {"P_NRLISTASERV", "S1"},
                                                            {"P_NRLISTATURNO", "T2"},
                                                            {"P_TAMNIV", 3},
                                                            {"P_ORDENA", "A"},
                                                            {"P_IDIMPRIMECARD", "S"},
                                                            {"P_IDQUEBRAPAGINA", "N"},
                                                            {"P_NRLINHABRANCA", 5},
                                                            {"P_LISTAGRUPPROD", "_01        001_"},
                                                            {"P_IDRESUMO", "N"}}));
    EXPECT_EQ(ui.previewsShown, QStringList{QString::fromUtf8("Requisição de Produtos")});
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join('\n').toStdString();
}

TEST_F(Report, CalculatingFirstAsksBeforeEachActionAndNoStillRunsTheAction) {
    form->chbCalc->setChecked(true);
    for (const auto& [button, closeDialog] : actions()) {
        ui.messages.clear();
        ui.answerModal(host::mrNo);
        closeDialog();
        button->click();
        EXPECT_EQ(ui.texts(host::MsgDlgType::Confirmation), QStringList{form->msgPadrao.Msg("CONF_CALCULO")})
            << button->objectName().toStdString();
        EXPECT_TRUE(ui.allAnswersUsed()) << "the action's own dialog came after No: "
                                         << button->objectName().toStdString();
    }
    EXPECT_TRUE(methodsOf("CalculaRequisicoes").empty());
    EXPECT_EQ(ui.previewsShown.size(), 1);

    // Yes calculates, then the report is asked for.
    server.clearCalls();
    ui.answerModal(host::mrYes);
    form->sbtPreview->click();
    const std::vector<std::string> methods = server.methods();
    const auto at = [&](const char* m) { return std::find(methods.begin(), methods.end(), m) - methods.begin(); };
    EXPECT_LT(at("CalculaRequisicoes"), at("GetDados"));
    EXPECT_LT(at("GetDados"), std::ptrdiff_t(methods.size()));
}

TEST_F(Report, AnIncompleteFilterOpensNoDialog) {
    form->chbCalc->setChecked(true);
    form->medCdFilial->clear();
    for (const auto& action : actions()) action.first->click();
    EXPECT_EQ(ui.errors(), QStringList(5, form->msgPadrao.Msg("FILIAL_N_INF")));
    EXPECT_TRUE(ui.texts(host::MsgDlgType::Confirmation).isEmpty());
    EXPECT_TRUE(ui.previewsShown.isEmpty());
    EXPECT_TRUE(methodsOf("GetDados").empty());
}

TEST_F(Report, PrintsSavesAndKeepsThePrinterSettingsForTheNextPrint) {
    // Printer setup: landscape, kept for the print that follows.
    ui.printerChoice = [](QPrinter& printer) { printer.setPageOrientation(QPageLayout::Landscape); };
    ui.answerPrint(true);
    form->sbtConfigImpr->click();
    ui.printerChoice = [this](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file("impresso.pdf"));
    };
    ui.answerPrint(true);
    form->sbtPrint->click();
    QProcess info;
    info.start("pdfinfo", {file("impresso.pdf")});
    info.waitForFinished();
    const QString pageSize = QString(info.readAllStandardOutput()).section("Page size:", 1).section('\n', 0, 0);
    EXPECT_TRUE(pageSize.contains("842 x 595") || pageSize.contains("841.89 x 595.276")) << pageSize.toStdString();
    EXPECT_TRUE(test::PdfText(file("impresso.pdf")).contains(QString::fromUtf8("Página 1 de 3")));

    ui.answerFileName(file("salvo.pdf"));
    form->sbtSalvarComo->click();
    const QString pdf = test::PdfText(file("salvo.pdf"));
    EXPECT_EQ(pdf.count('\f'), 3) << "a page per shift block";
    for (const char* expected : {"Requisição de Produtos", "Dia: 16/03/2026", "Açúcar cristal", "Total do turno"})
        EXPECT_TRUE(pdf.contains(QString::fromUtf8(expected))) << expected;

    ui.answerFileName(file("salvo.csv"));
    form->sbtSalvarComo->click();
    QFile csv(file("salvo.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray bytes = csv.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_EQ(bytes.count("\r\n"), 7) << "a title line and one line per item";
    EXPECT_EQ(ui.statuses.back(), "Arquivo salvo em " + QDir::toNativeSeparators(file("salvo.csv")));
    EXPECT_EQ(ui.proposedNames.back(), "KRV520-" + form->medCdFilial->text() + "-" +
                                           form->depDataInic->text().replace('/', '-') + "-a-" +
                                           form->depDataFina->text().replace('/', '-'));

    ui.answerFileName(file("salvo.txt"));
    form->sbtSalvarComo->click();
    EXPECT_EQ(ui.errors(), QStringList{QString::fromUtf8("Informe um arquivo terminado em .pdf ou .csv.")});
    EXPECT_FALSE(QFile::exists(file("salvo.txt")));
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(Report, ResumoPorProdutoClosesTheReportOnlyWhenTicked) {
    EXPECT_EQ(form->chbResumo->text(), QString::fromUtf8("Resumo por produto"));
    EXPECT_TRUE(form->grbOpcoesRel->isAncestorOf(form->chbResumo));
    const QString title = QString::fromUtf8("Resumo por produto no período");
    for (const bool ticked : {false, true}) {
        form->chbResumo->setChecked(ticked);
        server.clearCalls();
        ui.answerFileName(file("resumo.pdf"));
        form->sbtSalvarComo->click();
        EXPECT_EQ(sentParams().at("P_IDRESUMO"), Variant(ticked ? "S" : "N"));
        const QStringList pages = test::PdfText(file("resumo.pdf")).split('\f', Qt::SkipEmptyParts);
        ASSERT_EQ(pages.size(), ticked ? 4 : 3);
        EXPECT_EQ(pages.last().contains(title), ticked);
        EXPECT_EQ(pages.last().contains("Sal refinado"), true);
    }
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join('\n').toStdString();
}

TEST_F(Report, AnEditedTitleIsSavedAndPrintedFromTheNextPrintOn) {
    ui.answerInput(QString::fromUtf8("Requisição Semanal"));
    form->sbtReportEdit->click();
    host::TReportDesigner designer;
    designer.ReportCode = "KRV520";
    ASSERT_TRUE(designer.LoadDefinition());
    EXPECT_EQ(designer.Title(), QString::fromUtf8("Requisição Semanal"));
    EXPECT_EQ(designer.ParamNames().size(), 12) << "the rest of the definition kept";

    ui.previewFile = file("previa.pdf");
    ui.previewPng = QDir(KRV_SCREENS_DIR).filePath("KRV520-preview.png");
    QDir().mkpath(KRV_SCREENS_DIR);
    form->sbtPreview->click();
    EXPECT_TRUE(test::PdfText(file("previa.pdf")).contains(QString::fromUtf8("Requisição Semanal")));
    EXPECT_TRUE(QFile::exists(ui.previewPng));
}

}  // namespace
