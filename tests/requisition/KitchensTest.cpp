// "Calcular Requisições das Filiais": a logistic operator's kitchens calculated one call at a
// time under a progress bar that stops between kitchens, and what became of each.
#include <QProgressDialog>
#include <QTimer>

#include "requisition/ScreenFixture.h"
#include "requisition/TfrmCalculoFiliais.h"
#include "requisition/TfrmPedReq.h"
#include "rpc/Dispatcher.h"

using namespace krv;

namespace {

class Kitchens : public test::ShownScreen {
protected:
    Kitchens() {
        server.stop();  // methods are declared while the server is down
        server.on("KRV52000.rdmPedReq", "GetFiliaisOperador", 1, [](std::vector<Variant>&) {
            DataPacket p{{{"IDMARCADO", FieldType::String, 1},
                          {"CDFILIAL", FieldType::String, 4},
                          {"NMFILIAL", FieldType::String, 30}},
                         {}};
            p.rows = {{"N", "0001", "Cozinha Central"}, {"N", "0002", "Restaurante Norte"}, {"N", "0003", "Escola"}};
            return Variant(p);
        });
        server.on("KRV52000.rdmPedReq", "CalculaRequisicoesFiliais", 8, [](std::vector<Variant>& args) {
            const std::string kitchen = args.at(7).asString();
            if (args.at(5).asString() == "XFX") throw rpc::MethodFailure("TP_CONSFIXO");
            DataPacket p{{{"CDFILIAL", FieldType::String, 4},
                          {"NMFILIAL", FieldType::String, 30},
                          {"IDCALCULADA", FieldType::Fixed, 1},
                          {"QTREQUISICOES", FieldType::Integer, 0},
                          {"QTITENS", FieldType::Integer, 0},
                          {"DSSEMCARDAPIO", FieldType::String, 250},
                          {"DSSITUACAO", FieldType::String, 120},
                          {"DSAVISOS", FieldType::String, 2000}},
                         {}};
            const bool ordered = kitchen == "0002", gaps = kitchen == "0003";
            p.rows = {{kitchen, "?", ordered ? "N" : "S", int64_t(ordered ? 0 : 12), int64_t(ordered ? 0 : 40), "",
                       ordered ? "não calculada: já há pedidos gerados para requisições do período"
                               : (gaps ? "calculada, com avisos" : "calculada"),
                       gaps ? "Pratos sem receita (1): D3 - Sem receita." : ""}};
            return Variant(p);
        });
        server.start();
    }
    void SetUp() override {
        ShownScreen::SetUp();
        form->medCdFilial->setText("0009");
        leave(form->medCdFilial, form->depDataInic);
        server.clearCalls();
    }
    // Answers the options dialog with 5 % and raw material only, then keeps the result.
    void answerOptions() {
        ui.answerDialog([this](QDialog& dialog) {
            auto& opcoes = dynamic_cast<requisition::TfrmCalculoFiliais&>(dialog);
            opcoes.nedAcresc->setValue(5);
            opcoes.chbConsumoFixo->setChecked(false);
            opcoes.chbConsumoPerCapita->setChecked(false);
            renderPng(&dialog, "TfrmCalculoFiliais");
            return int(QDialog::Accepted);
        });
        ui.answerDialog([this](QDialog& dialog) {
            auto& resultado = dynamic_cast<requisition::TfrmResultadoFiliais&>(dialog);
            rows = resultado.cdsResultado.Data();
            summary = resultado.lblResumo->text();
            dialog.resize(820, 300);
            renderPng(&dialog, "TfrmResultadoFiliais");
            return int(QDialog::Accepted);
        });
    }
    std::vector<std::string> column(const char* field) const {
        std::vector<std::string> values;
        for (const Row& row : rows.rows) values.push_back(row[size_t(rows.fieldIndex(field))].asString());
        return values;
    }

    DataPacket rows;
    QString summary;
};

}  // namespace

TEST_F(Kitchens, EachKitchenIsOneCallAndARefusedOneIsReportedBesideTheOthers) {
    EXPECT_FALSE(form->sbtCalcReq->isEnabled());
    ASSERT_TRUE(form->sbtCalcReqFiliais->isEnabled()) << "on for a logistic operator only";
    answerOptions();
    form->sbtCalcReqFiliais->click();
    ASSERT_EQ(server.methods(), (std::vector<std::string>{"GetFiliaisOperador", "CalculaRequisicoesFiliais",
                                                          "CalculaRequisicoesFiliais", "CalculaRequisicoesFiliais"}));
    EXPECT_EQ(server.calls().at(2).args,
              (std::vector<Variant>{"0009", processingDate, processingDate, 5.0, "N", "CXX", "ADMIN", "0002"}));
    EXPECT_EQ(column("CDFILIAL"), (std::vector<std::string>{"0001", "0002", "0003"}));
    EXPECT_EQ(column("IDCALCULADA"), (std::vector<std::string>{"S", "N", "S"}));
    EXPECT_EQ(column("DSAVISOS"), (std::vector<std::string>{"", "", "Pratos sem receita (1): D3 - Sem receita."}));
    EXPECT_EQ(column("DSSITUACAO").back(), "calculada, com avisos");
    EXPECT_EQ(summary, "2 de 3 filiais calculadas.");
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());

    // An ordinary kitchen switches it off (once the screen is active again after the progress bar).
    showAndActivate();
    form->medCdFilial->setText("0001");
    leave(form->medCdFilial, form->depDataInic);
    EXPECT_FALSE(form->sbtCalcReqFiliais->isEnabled());
}

TEST_F(Kitchens, StoppingBetweenKitchensLeavesTheRestUncalculatedAndSaysSo) {
    answerOptions();
    // The bar names the kitchen it is about to calculate: stop when it reaches the second.
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        auto* bar = form->findChild<QProgressDialog*>();
        if (bar && bar->labelText().contains("(2 de 3)")) {
            bar->cancel();
            stopper.stop();
        }
    });
    stopper.start(0);
    form->sbtCalcReqFiliais->click();
    EXPECT_EQ(methodsOf("CalculaRequisicoesFiliais").size(), 1u);
    EXPECT_EQ(column("IDCALCULADA"), (std::vector<std::string>{"S", "N", "N"}));
    EXPECT_EQ(column("DSSITUACAO").back(), "não calculada: cálculo interrompido");
    EXPECT_EQ(summary, "1 de 3 filiais calculadas. Cálculo interrompido pelo usuário: 2 filiais não foram calculadas.");
}

TEST_F(Kitchens, ARefusalOfTheWholeCalculationIsShownInTheScreensWordsAndACancelledDialogCalculatesNothing) {
    ui.answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    form->sbtCalcReqFiliais->click();
    EXPECT_EQ(server.methods(), std::vector<std::string>{"GetFiliaisOperador"});

    ui.answerDialog([](QDialog& dialog) {
        auto& opcoes = dynamic_cast<requisition::TfrmCalculoFiliais&>(dialog);
        opcoes.chbMateriaPrima->setChecked(false);
        opcoes.chbConsumoPerCapita->setChecked(false);
        return int(QDialog::Accepted);
    });
    form->sbtCalcReqFiliais->click();
    EXPECT_EQ(ui.errors(), QStringList{form->msgPadrao.Msg("TP_CONSFIXO")});
    EXPECT_EQ(methodsOf("CalculaRequisicoesFiliais").size(), 1u) << "the first refusal ends it";
}
