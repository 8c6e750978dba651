#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "ModelSample.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;
using krv::test::ScriptedHostUi;

TEST(ScriptedHostUi, RecordsMessagesAndAnswersQuestionsFromItsQueue) {
    ScriptedHostUi ui;
    EXPECT_EQ(HostUi::instance().messageDlg("Filial deve ser informada.", MsgDlgType::Error, mbOK), mrOk);
    ui.answerModal(mrYes);
    EXPECT_EQ(HostUi::instance().messageDlg("Confirma?", MsgDlgType::Confirmation, mbYes | mbNo), mrYes);

    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0], (ScriptedHostUi::Message{MsgDlgType::Error, "Filial deve ser informada.", mbOK}));
    EXPECT_EQ(ui.messages[1].buttons, mbYes | mbNo);
    EXPECT_EQ(ui.errors(), QStringList{"Filial deve ser informada."});
    EXPECT_TRUE(ui.allAnswersUsed());

    QString value = "velho";
    ui.answerInput("novo");
    ui.cancelInput();
    ui.answerFileName("/tmp/rel.pdf");
    EXPECT_TRUE(HostUi::instance().inputText("Título", "Informe:", value));
    EXPECT_EQ(value, "novo");
    EXPECT_FALSE(HostUi::instance().inputText("Título", "Informe:", value));
    EXPECT_EQ(value, "novo");
    EXPECT_EQ(HostUi::instance().saveFileName("Salvar", "*.pdf", "rel"), "/tmp/rel.pdf");
    EXPECT_EQ(ui.proposedNames, QStringList{"rel"});
}

TEST(ScriptedHostUi, AnUnansweredQuestionFailsTheTestAndCancels) {
    ScriptedHostUi ui;
    int result = -1;
    EXPECT_NONFATAL_FAILURE(result = HostUi::instance().messageDlg("Confirma?", MsgDlgType::Confirmation, mbYes | mbNo),
                            "no answer queued for messageDlg");
    EXPECT_EQ(result, mrNo);

    TClientDataSet ds(test::selectionFields());
    test::fillSelection(ds, 2);
    bool picked = true;
    EXPECT_NONFATAL_FAILURE(picked = HostUi::instance().pesquisar(ds, "Filial"), "pesquisar");
    EXPECT_FALSE(picked);
}

TEST(ScriptedHostUi, PickersPositionAndFillKeysLikeTheRealOnes) {
    ScriptedHostUi ui;
    TClientDataSet ds(test::selectionFields());
    test::fillSelection(ds, 3);

    ui.answerPick(2);
    ui.cancelPick();
    EXPECT_TRUE(HostUi::instance().pesquisar(ds, "Filial"));
    EXPECT_EQ(ds.RecNo(), 2);
    EXPECT_FALSE(HostUi::instance().pesquisar(ds, "Filial"));
    EXPECT_EQ(ds.RecNo(), 2);

    QString keys = "_K0_";
    ui.cancelList();
    ui.answerList("_K1_K2_");
    EXPECT_FALSE(HostUi::instance().pesquisaLista(ds, "CHAVE", "Serviço|Não há serviço cadastrado.", keys));
    EXPECT_EQ(keys, "_K0_");
    EXPECT_TRUE(HostUi::instance().pesquisaLista(ds, "CHAVE", "Serviço|Não há serviço cadastrado.", keys));
    EXPECT_EQ(keys, "_K1_K2_");
    ASSERT_EQ(ui.pickersShown.size(), 4u);
    EXPECT_EQ(ui.pickersShown[3].title, "Serviço");
    EXPECT_EQ(ui.pickersShown[3].keysBefore, "_K0_");

    // An empty list shows its message instead of a picker and keeps the keys; the
    // single-row picker and the find dialog do not open at all.
    test::fillSelection(ds, 0);
    EXPECT_FALSE(HostUi::instance().pesquisar(ds, "Filial"));
    HostUi::instance().procura(ds);
    EXPECT_EQ(ui.pickersShown.size(), 4u);
    EXPECT_FALSE(HostUi::instance().pesquisaLista(ds, "CHAVE", "Turno|Não há turno cadastrado.", keys));
    EXPECT_EQ(keys, "_K1_K2_");
    EXPECT_EQ(ui.texts(MsgDlgType::Information), QStringList{"Não há turno cadastrado."});
}
