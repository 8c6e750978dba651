// Logistic-operator branches: the screen's switch between the forecast and everything else,
// and the consumption forecast itself.
#include <QGroupBox>
#include <map>

#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"
#include "rpc/Dispatcher.h"

using namespace krv;

namespace {

class LogisticOperator : public test::ShownScreen {
protected:
    void typeBranch(const QString& code) {
        form->medCdFilial->setText(code);
        leave(form->medCdFilial, form->depDataInic);
    }
    void pickBranch(int row) {
        ui.answerPick(row);  // rows: 0001, 0002, 0009
        form->btpFilial->click();
    }
    // Every switched control is on exactly on an ordinary branch, except the forecast, which
    // is the reverse, and the four controls that also follow their own choice.
    void expectMode(bool isOL) {
        std::map<QWidget*, bool> own{
            {form->sbtServico, form->rbtListaServ->isChecked()},
            {form->sbtAgrupProd, form->rbtLAgrupProd->isChecked()},
            {form->sbtTurno, form->rbtLTurno->isChecked()},
            {form->nedLinhasBranco, form->chbLinhasBranco->isChecked()},
            {form->sedNiveOrde, form->rbtOrdenaAlfab->isChecked()},
        };
        std::vector<QWidget*> switched{form->sbtPrint,      form->sbtPreview, form->sbtSalvarComo, form->sbtConfigImpr,
                                       form->sbtReportEdit, form->sbtCalcReq, form->sbtGerarPedido};
        for (QGroupBox* group : {form->grbServ, form->grbAgrupProd, form->grbTurno, form->grbOpcoesRel,
                                 form->grbTipoConsumo, form->grbOrdenacao})
            for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) switched.push_back(child);
        for (QWidget* control : switched) {
            const bool expected = !isOL && (!own.count(control) || own[control]);
            EXPECT_EQ(control->isEnabled(), expected) << control->objectName().toStdString() << " OL " << isOL;
        }
        EXPECT_EQ(form->sbtCalcPrevCons->isEnabled(), isOL);
    }
    // Clicks the forecast button answering the confirmation with `answer` (none when 0).
    void forecast(int answer = host::mrYes) {
        if (answer) ui.answerModal(answer);
        form->sbtCalcPrevCons->click();
    }
    QString msg(const char* key) const { return form->msgPadrao.Msg(key); }
};

TEST_F(LogisticOperator, EachValidationOrPickSwitchesTheScreen) {
    expectMode(false);
    // Choices that survive a change of branch; services and groupings go back to "Todos".
    form->rbtLTurno->setChecked(true);
    form->chbLinhasBranco->setChecked(true);
    typeBranch("0009");
    expectMode(true);
    typeBranch("0002");
    expectMode(false);
    EXPECT_TRUE(form->sbtTurno->isEnabled());

    form->rbtTTurno->setChecked(true);
    form->chbLinhasBranco->setChecked(false);
    form->rbtOrdenaAlfab->setChecked(true);
    pickBranch(2);
    expectMode(true);
    pickBranch(0);
    expectMode(false);
    EXPECT_TRUE(form->sedNiveOrde->isEnabled());

    // Only an exact "S" is a logistic operator.
    branches["0003"] = {"Filial Minúscula", "s"};
    branches["0004"] = {"Filial Sem Marca", " "};
    for (const QString code : {"0003", "0004"}) {
        typeBranch("0009");
        typeBranch(code);
        EXPECT_FALSE(form->sbtCalcPrevCons->isEnabled()) << code.toStdString();
        EXPECT_TRUE(form->sbtCalcReq->isEnabled()) << code.toStdString();
    }
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(LogisticOperator, ForecastSendsBranchPeriodAndOperatorOnly) {
    typeBranch("0009");
    // Nothing of the rest of the filter is checked or sent, even where it would not pass.
    form->rbtLTurno->setChecked(true);
    form->rbtLAgrupProd->setChecked(true);
    for (QCheckBox* type : {form->chbMateriaPrima, form->chbConsumoFixo, form->chbConsumoPerCapita})
        type->setChecked(false);
    form->nedAcresc->setText("7");
    const DateTime fim = processingDate.addDays(3);
    form->depDataFina->SetDate(fim);
    server.clearCalls();

    forecast();
    EXPECT_EQ(server.methods(), std::vector<std::string>{"CalculaPrevisaoConsumo"});
    EXPECT_EQ(server.calls().at(0).args, (std::vector<Variant>{"0009", processingDate, fim, "ADMIN"}));
    EXPECT_EQ(ui.messages, (std::vector<test::ScriptedHostUi::Message>{
                               {host::MsgDlgType::Confirmation, msg("CONF_CALCULO_PREV"), host::mbYes | host::mbNo},
                               {host::MsgDlgType::Confirmation, msg("CALCULO_PREV_SUCESSO"), host::mbOK}}));
    EXPECT_EQ(ui.busyOn, ui.busyOff);
}

TEST_F(LogisticOperator, OnlyACompletedForecastIsAnnounced) {
    typeBranch("0009");
    forecast(host::mrNo);
    EXPECT_TRUE(methodsOf("Calcula").empty());
    const std::pair<const char*, QString> refusals[] = {
        {"PRATO_CONSFIXO", "Prato default de consumo fixo deve ser parametrizado."},
        {"Operador sem filiais atendidas", "Operador sem filiais atendidas"},
    };
    for (const auto& [failure, shown] : refusals) {
        server.on("KRV52000.rdmPedReq", "CalculaPrevisaoConsumo", 4,
                  [failure](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure(failure); });
        ui.messages.clear();
        forecast();
        EXPECT_EQ(ui.errors(), QStringList{shown});
        EXPECT_EQ(ui.texts(host::MsgDlgType::Confirmation), QStringList{msg("CONF_CALCULO_PREV")}) << "no success";
    }
    EXPECT_EQ(methodsOf("Calcula").size(), 2u);
    EXPECT_EQ(ui.busyOn, ui.busyOff);

    // An incomplete branch or period ends the action before the question.
    form->medCdFilial->setText("");
    ui.messages.clear();
    server.clearCalls();
    forecast(0);
    form->medCdFilial->setText("0009");
    form->depDataFina->SetDate(processingDate.addDays(-1));
    forecast(0);
    EXPECT_EQ(ui.errors(),
              (QStringList{"Filial deve ser informada.", "Data inicial deve ser menor ou igual a data final."}));
    EXPECT_TRUE(ui.texts(host::MsgDlgType::Confirmation).isEmpty());
    EXPECT_EQ(methodsOf("Calcula"), std::vector<std::string>{});
}

}  // namespace
