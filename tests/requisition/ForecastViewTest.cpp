// "Ver Previsão": when the screen offers it, and the forecast window.
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <future>

#include "core/PacketCsv.h"
#include "host/dialogs/HostUi.h"
#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"
#include "requisition/TfrmPrevisao.h"
#include "support/ExplanationSample.h"

using namespace krv;

namespace {

// Two branches, two days and two products; "0000000001" sums to 10.5 + 4 + 2.
DataPacket ForecastPacket(DateTime day) {
    DataPacket packet{{{"CDFILIAL", FieldType::String, 4},
                       {"NMFILIAL", FieldType::String, 30},
                       {"CDSERVFILI", FieldType::String, 5},
                       {"NMSERVICO", FieldType::String, 40},
                       {"DTPREVISAO", FieldType::DateTime, 0},
                       {"CDPRODUTO", FieldType::String, 10},
                       {"NMPRODUTO", FieldType::String, 60},
                       {"SGUNIDADE", FieldType::String, 4},
                       {"QTPREVISTA", FieldType::Float, 0},
                       {"CDOPERADOR", FieldType::String, 30},
                       {"DTLANCAMENTO", FieldType::DateTime, 0}},
                      {}};
    const DateTime when = DateTime::fromParts(2026, 12, 4, 16, 30, 0);
    const auto row = [&](const char* branch, DateTime d, const char* product, const char* name, double q) {
        packet.rows.push_back({branch, "Filial", "00002", "Almoço", d, product, name, "KG", q, "ADMIN", when});
    };
    row("0001", day, "0000000001", "Arroz", 10.5);
    row("0001", day, "0000000002", "Ovo; branco", 660);
    row("0001", day.addDays(1), "0000000001", "Arroz", 4);
    row("0002", day, "0000000001", "Arroz", 2);
    return packet;
}

class ForecastView : public test::ShownScreen {
protected:
    ForecastView() {
        server.stop();  // methods are declared while the server is down
        server.on("KRV52000.rdmPedReq", "GetPrevisaoConsumo", 3, [this](std::vector<Variant>&) {
            released.wait();  // the window must answer while the server takes its time
            return Variant(ForecastPacket(processingDate));
        });
        server.on("KRV52000.rdmPedReq", "ExplicaItemPrevisao", 5,
                  [](std::vector<Variant>&) { return Variant(test::ExplanationPacket()); });
        server.start();
    }
    void typeBranch(const QString& code) {
        form->medCdFilial->setText(code);
        leave(form->medCdFilial, form->depDataInic);
    }
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
};

}  // namespace

TEST_F(ForecastView, OfferedToAnOperatorWhoseForecastOfThePeriodExists) {
    typeBranch("0009");
    EXPECT_FALSE(form->sbtVerPrevisao->isEnabled());
    EXPECT_EQ(server.calls().back().args, (std::vector<Variant>{"0009", processingDate, processingDate}));
    forecastExists = true;
    typeBranch("0001");
    EXPECT_FALSE(form->sbtVerPrevisao->isEnabled()) << "an ordinary branch";
    EXPECT_EQ(methodsOf("Existe").size(), 1u) << "an ordinary branch asks nothing";
    typeBranch("0009");
    EXPECT_TRUE(form->sbtVerPrevisao->isEnabled());
    EXPECT_EQ(form->sbtVerPrevisao->text(), "Ver Previsão");

    // A forecast just calculated is there to be seen.
    forecastExists = false;
    typeBranch("0001");
    typeBranch("0009");
    ui.answerModal(host::mrYes);
    form->sbtCalcPrevCons->click();
    EXPECT_TRUE(form->sbtVerPrevisao->isEnabled());
    EXPECT_TRUE(ui.errors().isEmpty());
}

// The branch typed first, then the dates of a forecast: the offer follows the dates; a branch
// being retyped offers nothing until it is found.
TEST_F(ForecastView, FollowsTheDatesAndTheBranch) {
    typeBranch("0009");
    EXPECT_FALSE(form->sbtVerPrevisao->isEnabled());
    forecastExists = true;
    const DateTime fim = processingDate.addDays(6);
    form->depDataFina->SetDate(fim);
    EXPECT_TRUE(form->sbtVerPrevisao->isEnabled());
    EXPECT_EQ(server.calls().back().args, (std::vector<Variant>{"0009", processingDate, fim}));
    forecastExists = false;
    form->depDataInic->SetDate(processingDate.addDays(1));
    EXPECT_FALSE(form->sbtVerPrevisao->isEnabled());

    forecastExists = true;
    form->depDataInic->SetDate(processingDate);
    form->medCdFilial->setText("000");
    EXPECT_FALSE(form->sbtVerPrevisao->isEnabled()) << "another branch is being typed";
    const size_t asked = methodsOf("Existe").size();
    form->depDataFina->SetDate(processingDate);
    EXPECT_EQ(methodsOf("Existe").size(), asked) << "no branch found yet: nothing to ask";
    typeBranch("0001");
    form->depDataFina->SetDate(fim);
    EXPECT_FALSE(form->sbtVerPrevisao->isEnabled()) << "an ordinary branch";
    EXPECT_EQ(methodsOf("Existe").size(), asked);
}

TEST_F(ForecastView, LoadsInTheBackgroundThenTotalsExplainsAndSavesTheCsv) {
    forecastExists = true;
    typeBranch("0009");
    const DateTime fim = processingDate.addDays(1);
    form->depDataFina->SetDate(fim);
    server.clearCalls();
    form->sbtVerPrevisao->click();

    auto* janela = form->findChild<requisition::TfrmPrevisao*>();
    ASSERT_NE(janela, nullptr);
    EXPECT_TRUE(janela->isVisible());
    EXPECT_TRUE(janela->Carregando()) << "the click came back while the server is still at it";
    EXPECT_GT(host::BusyDepth(), 0);
    release.set_value();
    QTRY_VERIFY(!janela->Carregando());
    EXPECT_EQ(host::BusyDepth(), 0);
    EXPECT_EQ(server.calls().at(0).args, (std::vector<Variant>{"0009", processingDate, fim}));
    EXPECT_EQ(janela->cdsPrevisao.RecordCount(), 4);
    EXPECT_EQ(janela->dbgPrevisao->model()->rowCount(), 4);
    EXPECT_EQ(janela->lblSituacao->text(), "4 linhas, 2 produtos.");
    // Totals per product, in product order.
    janela->cdsTotais.First();
    EXPECT_EQ(janela->cdsTotais.FieldByName("QTTOTAL").AsFloat(), 16.5);
    janela->cdsTotais.Next();
    EXPECT_EQ(janela->cdsTotais.FieldByName("QTTOTAL").AsFloat(), 660);

    janela->dbgPrevisao->setCurrentIndex(janela->dbgPrevisao->model()->index(1, 0));
    EXPECT_EQ(server.calls().back().method, "ExplicaItemPrevisao");
    EXPECT_EQ(server.calls().back().args,
              (std::vector<Variant>{"0009", "0001", "00002", processingDate, "0000000002"}));
    EXPECT_EQ(janela->cdsExplicacao.RecordCount(), 5);
    // Every total in sight, however short.
    const QHeaderView* totais = janela->dbgTotais->horizontalHeader();
    EXPECT_LE(totais->sectionViewportPosition(3) + totais->sectionSize(3), janela->dbgTotais->viewport()->width());
    renderPng(janela, "TfrmPrevisao");

    EXPECT_EQ(janela->dbgPrevisao->model()->index(0, 4).data().toString(), "0.00.000.0001");
    EXPECT_EQ(janela->dbgTotais->model()->index(1, 0).data().toString(), "0.00.000.0002");

    // The file is what krv-call --csv writes of the same answer, with the codes as people
    // read them; the dialog proposes a name, and the status bar says where the file went.
    QTemporaryDir dir;
    const QString path = dir.filePath("previsao.csv");
    ui.answerFileName(path);
    janela->btnSalvarCsv->click();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    DataPacket pessoas = ForecastPacket(processingDate);
    for (Row& row : pessoas.rows) row[5] = "0.00.000." + row[5].str().substr(6);
    EXPECT_EQ(file.readAll().toStdString(), csvText(pessoas));
    EXPECT_EQ(ui.proposedNames, QStringList{"previsao-0009-07-12-2026-a-08-12-2026"});
    EXPECT_EQ(ui.statuses.back(), "Arquivo salvo em " + QDir::toNativeSeparators(path));
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(ForecastView, ARefusedLoadIsToldAndEndsTheAnimation) {
    forecastExists = true;
    typeBranch("0009");
    server.on("KRV52000.rdmPedReq", "GetPrevisaoConsumo", 3,
              [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("Filial 0009 não cadastrada."); });
    form->sbtVerPrevisao->click();
    auto* janela = form->findChild<requisition::TfrmPrevisao*>();
    ASSERT_NE(janela, nullptr);
    QTRY_VERIFY(!janela->Carregando());
    EXPECT_EQ(ui.errors(), QStringList{"Filial 0009 não cadastrada."});
    EXPECT_EQ(host::BusyDepth(), 0);
    EXPECT_FALSE(janela->btnSalvarCsv->isEnabled());
    EXPECT_EQ(janela->lblSituacao->text(), "A previsão não pôde ser carregada.");
}
