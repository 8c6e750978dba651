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
        EXPECT_EQ(ui.statuses.back(), "") << "no summary of an earlier calculation stays";
        EXPECT_EQ(ui.busyOn, ui.busyOff);
    }
}

}  // namespace

TEST_F(Calculation, TheStatusBarTellsWhatWasWrittenAndEveryGapIsWarned) {
    const struct {
        Variant::Array answer;
        QStringList statuses;
        QStringList warnings;
    } cases[] = {
        {{Variant("C1"), Variant(int64_t(2077)), Variant(int64_t(31450)), Variant("")},
         {"", "Cálculo concluído: 2.077 requisições e 31.450 itens gravados."},
         {}},
        {{Variant("C1"), Variant(int64_t(0)), Variant(int64_t(0)), Variant("0003 - Lanche da Tarde, 0005 - Ceia")},
         {"", "Cálculo concluído: 0 requisições e 0 itens gravados."},
         {"Não há cardápio no período para o(s) serviço(s) 0003 - Lanche da Tarde, 0005 - Ceia: deles foram "
          "calculados apenas o consumo fixo e o per capita."}},
        {{Variant("C1"), Variant(int64_t(3)), Variant(int64_t(9)), Variant(""),
          Variant("01 - Almoço, turno 2, 03/03/2026"), Variant(int64_t(1)), Variant("a; b; c; d; e e mais 1.002"),
          Variant(int64_t(1007))},
         {"", "Cálculo concluído: 3 requisições e 9 itens gravados."},
         {"1 turno(s) com cardápio e sem comensais, que não receberam matéria-prima: 01 - Almoço, turno 2, "
          "03/03/2026.\n\n1.007 dia(s) de serviço com consumo fixo e nenhum comensal: a; b; c; d; e e mais 1.002."}},
        {{Variant("C1"), Variant(int64_t(3)), Variant(int64_t(9)), Variant(""), Variant(""), Variant(int64_t(0)),
          Variant(""), Variant(int64_t(0)), Variant("02 - Jantar, turno 1, 03/03/2026"), Variant(int64_t(1)),
          Variant("D3 - Sem receita; D4 - Bolo"), Variant(int64_t(2))},
         {"", "Cálculo concluído: 3 requisições e 9 itens gravados."},
         {"1 turno(s) com comensais e sem cardápio, que não receberam matéria-prima: 02 - Jantar, turno 1, "
          "03/03/2026.\n\n2 prato(s) do cardápio sem receita, que não geraram matéria-prima: D3 - Sem receita; D4 - "
          "Bolo."}},
        {{Variant("C1"), Variant(int64_t(3)), Variant(int64_t(9)), Variant("0005 - Ceia"), Variant(""),
          Variant(int64_t(0)), Variant(""), Variant(int64_t(0))},
         {"", "Cálculo concluído: 3 requisições e 9 itens gravados."},
         {"Não há cardápio no período para o(s) serviço(s) 0005 - Ceia: deles foram calculados apenas o consumo fixo e "
          "o per capita."}},
        {{Variant("C1")}, {""}, {}},  // a server that tells only the number: the old line goes
    };
    for (const auto& c : cases) {
        server.on("KRV52000.rdmPedReq", "CalculaRequisicoes", 11,
                  [&c](std::vector<Variant>&) { return Variant(c.answer); });
        ui.messages.clear();
        ui.statuses.clear();
        ASSERT_TRUE(calculate());
        EXPECT_EQ(ui.statuses, c.statuses);
        EXPECT_EQ(ui.texts(host::MsgDlgType::Warning), c.warnings);
        EXPECT_EQ(calcList(), "C1");
    }
}

TEST_F(Calculation, ListsTheServerNoLongerHasAreMadeAgainOnceWithoutAWord) {
    int refusals = 0, tries = 0;
    std::string refusal;
    server.on("KRV52000.rdmPedReq", "CalculaRequisicoes", 11, [&](std::vector<Variant>&) -> Variant {
        ++tries;
        if (refusals-- > 0) throw rpc::MethodFailure(refusal);
        return Variant(Variant::Array{Variant("C9")});
    });
    const std::string lost = "Lista de serviços 1 não encontrada.";
    const struct {
        std::string refusal;
        int refusals;
        int tries;
        QStringList errors;
    } cases[] = {
        // The cached list was purged: new lists, and the calculation goes on.
        {lost, 1, 2, {}},
        // Lost again right after new lists were made: the user reads it, once.
        {lost, 2, 2, {QString::fromStdString(lost)}},
        // Any other refusal is no reason to try again.
        {lost + " Tente novamente.", 1, 1, {QString::fromStdString(lost + " Tente novamente.")}},
        {"Lista de requisições 1 não encontrada.", 1, 1, {"Lista de requisições 1 não encontrada."}},
    };
    for (const auto& c : cases) {
        refusal = c.refusal;
        refusals = c.refusals;
        tries = 0;
        ui.messages.clear();
        calculate();
        EXPECT_EQ(tries, c.tries) << c.refusal;
        EXPECT_EQ(ui.errors(), c.errors) << c.refusal;
        EXPECT_EQ(ui.busyOn, ui.busyOff);
    }
    EXPECT_EQ(calcList(), "C9");
}
