#include <gtest/gtest.h>

#include "host/screens/Messages.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
using namespace krv::host;

TEST(Messages, MsgFindsTheFirstLineOfAKey) {
    TMessages table;
    table.Messages = {"FILIAL|Filial",
                      "CONF|Confirma | recálculo?",
                      "FILIAL|segunda linha",
                      "sem barra",
                      "VAZIO|",
                      "FILIAL_N_INF|Filial deve ser informada."};
    EXPECT_EQ(table.Msg("FILIAL"), "Filial");
    EXPECT_EQ(table.Msg("filial"), "Filial");  // keys are matched regardless of case
    EXPECT_EQ(table.Msg("CONF"), "Confirma | recálculo?");
    EXPECT_EQ(table.Msg("FILIAL_N_INF"), "Filial deve ser informada.");
    EXPECT_EQ(table.Msg("FILIAL_N"), "");  // a prefix is no key
    EXPECT_EQ(table.Msg("sem barra"), "");
    EXPECT_EQ(table.Msg("VAZIO"), "");
    EXPECT_EQ(table.Msg("NADA"), "");
    EXPECT_EQ(TMessages().Msg("FILIAL"), "");
}

TEST(Messages, ShowMsgShowsTheTextAndReturnsTheModalResult) {
    test::ScriptedHostUi ui;
    TMessages table;
    table.Messages = {"CONF_CALCULO|Confirma recálculo?", "OK_MSG|Geração concluída."};

    ui.answerModal(mrYes);
    ui.answerModal(mrNo);
    EXPECT_EQ(table.ShowMsg("CONF_CALCULO", MsgDlgType::Confirmation, mbYes | mbNo, 0), 6);
    EXPECT_EQ(table.ShowMsg("CONF_CALCULO", MsgDlgType::Confirmation, mbYes | mbNo, 0), 7);
    EXPECT_EQ(table.ShowMsg("OK_MSG", MsgDlgType::Information, mbOK, 0), 1);
    EXPECT_EQ(table.ShowMsg("SEM_TEXTO", MsgDlgType::Error, mbOK, 0), 1);

    using M = test::ScriptedHostUi::Message;
    EXPECT_EQ(ui.messages, (std::vector<M>{{MsgDlgType::Confirmation, "Confirma recálculo?", mbYes | mbNo},
                                           {MsgDlgType::Confirmation, "Confirma recálculo?", mbYes | mbNo},
                                           {MsgDlgType::Information, "Geração concluída.", mbOK},
                                           {MsgDlgType::Error, "SEM_TEXTO", mbOK}}));
    EXPECT_TRUE(ui.allAnswersUsed());
}
