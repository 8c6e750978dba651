// The requisition calculation: what the screen sends, what it keeps, and how a refusal reads.
#include <QTest>
#include <array>
#include <optional>

#include "requisition/ScreenFixture.h"
#include "requisition/TfrmPedReq.h"
#include "rpc/Dispatcher.h"

using namespace krv;

namespace {

class Calculation : public test::ShownScreen {
protected:
    // Clicks the button answering the confirmation with `answer`; the arguments of the
    // calculation sent, if one was.
    std::optional<std::vector<Variant>> calculate(int answer = host::mrYes) {
        ui.answerModal(answer);
        form->sbtCalcReq->click();
        std::optional<std::vector<Variant>> sent;
        for (const auto& call : server.calls())
            if (call.method == "CalculaRequisicoes") sent = call.args;
        server.clearCalls();
        return sent;
    }
    std::string calcList() const { return form->Filtro().nrListaCalc.toStdString(); }
    std::string calcBranch() const { return form->Filtro().cdFilialListaCalc.toStdString(); }
};

TEST_F(Calculation, SendsTheFilterInOrderAndHandsTheLastCalculationBack) {
    // What the server leaves in the by-reference arguments of a success is not kept.
    server.on("KRV52000.rdmPedReq", "CalculaRequisicoes", 11, [this](std::vector<Variant>& args) {
        for (int i : {4, 5, 9, 10}) args[i] = Variant("lixo");
        return Variant(Variant::Array{Variant("C" + std::to_string(++listsMade))});
    });
    const DateTime inicio = processingDate, fim = processingDate.addDays(6);
    form->depDataFina->SetDate(fim);
    form->nedAcresc->setFocus();
    QTest::keyClicks(form->nedAcresc, "10,5");
    form->chbArredond->setChecked(true);

    const auto first = calculate();
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, (std::vector<Variant>{"0001", inicio, fim, 10.5, "S", "CFP", "ADMIN", "0001", "S1", "", ""}))
        << "the increase as typed; two empty strings before the first calculation";
    EXPECT_EQ(calcList(), "C2");
    EXPECT_EQ(calcBranch(), "0001");
    EXPECT_EQ(ui.messages,
              (std::vector<test::ScriptedHostUi::Message>{
                  {host::MsgDlgType::Confirmation, form->msgPadrao.Msg("CONF_CALCULO"), host::mbYes | host::mbNo}}))
        << "nothing is shown on success";

    // Branch B after branch A: A's list and branch go with B's calculation.
    form->medCdFilial->setText("0002");
    form->chbArredond->setChecked(false);
    const auto second = calculate();
    ASSERT_TRUE(second);
    EXPECT_EQ(*second,
              (std::vector<Variant>{"0002", inicio, fim, 10.5, "N", "CFP", "ADMIN", "0001", "S3", "C2", "0001"}));
    EXPECT_EQ(calcList(), "C4");
    EXPECT_EQ(calcBranch(), "0002");
    EXPECT_EQ(ui.busyOn, ui.busyOff);
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(Calculation, ConsumptionTypesAreOneLetterPerTickedBox) {
    const std::pair<std::array<bool, 3>, std::string> cases[] = {{{true, true, true}, "CFP"},
                                                                 {{false, false, true}, "XXP"},
                                                                 {{false, true, false}, "XFX"},
                                                                 {{true, false, true}, "CXP"}};
    for (const auto& [ticked, code] : cases) {
        form->chbMateriaPrima->setChecked(ticked[0]);
        form->chbConsumoFixo->setChecked(ticked[1]);
        form->chbConsumoPerCapita->setChecked(ticked[2]);
        const auto sent = calculate();
        ASSERT_TRUE(sent) << code;
        EXPECT_EQ(sent->at(5).asString(), code);
    }
}

TEST_F(Calculation, OnlyNoCancels) {
    ASSERT_TRUE(calculate());
    EXPECT_FALSE(calculate(host::mrNo));
    EXPECT_EQ(calcList(), "C2") << "a cancelled calculation keeps the last one";
    EXPECT_TRUE(calculate(host::mrCancel)) << "a dialog closed otherwise goes on";
    EXPECT_EQ(ui.texts(host::MsgDlgType::Confirmation).size(), 3);
    EXPECT_TRUE(ui.allAnswersUsed());
}

TEST_F(Calculation, ARefusalNamedByAKeyReadsInTheTablesWordsAnyOtherAsItCame) {
    const std::pair<const char*, QString> cases[] = {
        {"ERR_JA_EXISTE_PED", "Não é possível recalcular. Já foram gerados pedidos OL segundo o filtro informado."},
        {"TP_CONSPER", "Tipo de prato default de consumo percapita deve ser parametrizado."},
        {"Estoque bloqueado para cálculo", "Estoque bloqueado para cálculo"},
    };
    for (const auto& [failure, shown] : cases) {
        // A refusal keeps what the server wrote into the last calculation's arguments.
        server.on("KRV52000.rdmPedReq", "CalculaRequisicoes", 11, [failure](std::vector<Variant>& args) -> Variant {
            args[9] = Variant("C9");
            args[10] = Variant("0009");
            throw rpc::MethodFailure(failure);
        });
        ui.messages.clear();
        EXPECT_TRUE(calculate()) << failure;
        EXPECT_EQ(ui.errors(), QStringList{shown});
        EXPECT_EQ(calcList(), "C9");
        EXPECT_EQ(calcBranch(), "0009");
        EXPECT_EQ(ui.busyOn, ui.busyOff);
    }
}

}  // namespace
