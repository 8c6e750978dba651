// Confirming: the consolidation choices and the marks are checked in order, the list goes to
// the server, the orders are generated, announced, and the list reloaded.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <functional>
#include <map>

#include "host/session/Session.h"
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "rpc/Dispatcher.h"

using namespace krv;
using krv::ordergen::TfrmGerarPedReq;

namespace {

class Generation : public test::OrderFixture {
protected:
    std::vector<std::string> texts(const std::vector<Variant>& args) {
        std::vector<std::string> out;
        for (const Variant& arg : args) out.push_back(arg.type() == Variant::Type::DateTime ? "date" : arg.asString());
        return out;
    }
};

TEST_F(Generation, ConfirmChecksConsolidationThenMarksInOrder) {
    using Prepare = std::function<void(TfrmGerarPedReq*)>;
    auto consolidate = [](const char* service, const char* branch) {
        return [=](TfrmGerarPedReq* o) {
            o->chbServico->setChecked(false);
            o->medCdServico->setText(service);
            o->chbFilial->setChecked(false);
            o->medCdFilial->setText(branch);
        };
    };
    struct Case {
        std::vector<test::Req> rows;
        Prepare prepare;
        const char* error;
        const char* focus;  // the control that has the focus afterwards
        size_t lookups;     // GetServico and GetFilial calls made by then
    };
    const std::vector<test::Req> marked{{"S", 10, ""}};
    const Case cases[] = {
        {marked, consolidate("", ""), "Serviço deve ser informado.", "medCdServico", 0},
        {marked, consolidate("0009", ""), "Serviço não cadastrado.", "medCdServico", 1},
        {marked, consolidate("0001", ""), "Filial deve ser informada.", "medCdFilial", 1},
        {marked, consolidate("0001", "0007"), "Filial não cadastrada.", "medCdFilial", 2},
        {{{"N", 10, ""}}, consolidate("0001", "0002"), "Requisição deve ser selecionada.", "dbgRequisicoes", 2},
        {{{"N", 10, ""}, {"S", 11, "P1"}},
         [](TfrmGerarPedReq*) {},
         "Requisição deve ser selecionada.",
         "dbgRequisicoes",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        rows = c.rows;
        openOrder();
        ui.messages.clear();
        c.prepare(order);
        order->sbtConfirma->click();
        EXPECT_EQ(ui.errors(), QStringList{QString::fromUtf8(c.error)});
        EXPECT_EQ(QApplication::focusWidget()->objectName(), c.focus);
        EXPECT_TRUE(methodsOf("GetNrLista").empty() && methodsOf("GeraPedido").empty());
        EXPECT_EQ(methodsOf("GetServico").size() + methodsOf("GetFilial").size(), c.lookups);
        EXPECT_EQ(ui.busyOn, ui.busyOff);
    }
}

// The preview dialog's answer: "Gerar N pedidos" pressed, after a look at what it shows.
std::function<int(QDialog&)> pressGerar(QString* shown = nullptr) {
    return [shown](QDialog& dialog) {
        if (shown) *shown = dialog.findChild<QPushButton*>("btnGerar")->text();
        dialog.findChild<QPushButton*>("btnGerar")->click();
        return dialog.result();
    };
}

// Shift+Tab from "Cancelar" rings "Gerar": Enter there generates; Enter elsewhere is
// "Cancelar", the default.
TEST_F(Generation, EnterPressesTheFocusedButtonElseCancels) {
    const struct {
        const char* what;
        std::vector<Qt::Key> moves;
        const char* focus;
        bool generated;
    } cases[] = {
        {"Shift+Tab to Gerar", {Qt::Key_Backtab}, "btnGerar", true},
        {"focus left on Cancelar", {}, "btnCancelar", false},
        {"focus in the tree", {Qt::Key_Backtab, Qt::Key_Backtab}, "tvwPedidos", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        openOrder();
        ui.answerDialog([&](QDialog& dialog) {
            dialog.show();
            QApplication::setActiveWindow(&dialog);
            EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
            for (Qt::Key key : c.moves) QTest::keyClick(QApplication::focusWidget(), key, Qt::ShiftModifier);
            EXPECT_EQ(QApplication::focusWidget()->objectName(), c.focus);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            return dialog.result();
        });
        order->sbtConfirma->click();
        EXPECT_TRUE(ui.allAnswersUsed());
        EXPECT_EQ(methodsOf("GeraPedido").size(), c.generated ? 1u : 0u);
    }
}

TEST_F(Generation, SendsTheListAndItsLastNumberThenAnnouncesBeforeReloading) {
    rows = {{"N", 10, ""}, {"S", 11, ""}, {"S", 12, "P0001"}, {"N", 13, ""}};
    openOrder();
    // Per item, whatever the edits still hold goes as empty.
    order->chbServico->setChecked(false);
    order->medCdServico->setText("0002");
    order->chbServico->setChecked(true);
    QString gerar;
    ui.answerDialog(pressGerar(&gerar));
    order->sbtConfirma->click();

    EXPECT_EQ(server.methods(), (std::vector<std::string>{"GetNrListaRequiPedido", "PreviaPedidoPorRequisicao",
                                                          "GeraPedidoPorRequisicao", "getRequisicoes"}));
    EXPECT_EQ(gerar, "Gerar 2 pedidos");
    EXPECT_EQ(texts(lastArgs("PreviaPedidoPorRequisicao")), texts(lastArgs("GeraPedidoPorRequisicao")));
    const std::vector<Variant> list = lastArgs("GetNrListaRequiPedido");
    ASSERT_EQ(list.size(), 3u);
    // The marked open rows, with only what the server reads of them.
    const DataPacket& sent = list[0].packet();
    ASSERT_EQ(sent.rows.size(), 1u);
    const std::map<std::string, Variant> kept{{"IDMARCADO", "S"},
                                              {"NRREQUIPEDIDO", 11.0},
                                              {"DTREQUIPEDIDO", DateTime::fromDate(2026, 12, 7)},
                                              {"CDFILIAL", "0001"}};
    for (size_t f = 0; f < sent.fields.size(); ++f) {
        const auto at = kept.find(sent.fields[f].name);
        EXPECT_EQ(sent.rows[0][f], at == kept.end() ? Variant() : at->second) << sent.fields[f].name;
    }
    EXPECT_EQ(list[1].asString(), "") << "no list yet";
    EXPECT_EQ(list[2].asString(), "N") << "the list need not come back";
    EXPECT_EQ(texts(lastArgs("GeraPedidoPorRequisicao")),
              (std::vector<std::string>{"0001", "date", "date", "R1", "S", "ADMIN", "0001", "", "", "N", "N"}));
    EXPECT_EQ(order->medCdServico->text(), "");
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information),
              QStringList{"Geração dos pedidos concluída com sucesso.\n2 pedidos gerados: números 501 a 502."});
    EXPECT_EQ(messagesAtLoad, std::vector<size_t>{1}) << "the success message comes before the reload";

    // The second generation hands the first list back; consolidation and shift go as set.
    server.clearCalls();
    order->chbGerarPorTurno->setChecked(false);
    order->chbServico->setChecked(false);
    order->medCdServico->setText("0002");
    order->chbFilial->setChecked(false);
    order->medCdFilial->setText("0009");
    order->chbArredondar->setChecked(true);
    ui.answerDialog(pressGerar());
    order->sbtConfirma->click();
    EXPECT_EQ(lastArgs("GetNrListaRequiPedido").at(1).asString(), "R1");
    EXPECT_EQ(texts(lastArgs("GeraPedidoPorRequisicao")),
              (std::vector<std::string>{"0001", "date", "date", "R2", "N", "ADMIN", "0001", "0009", "0002", "S", "N"}));
    EXPECT_EQ(order->NrListaRequiPedido(), "R2");

    // A failed generation announces nothing and keeps the list as it was.
    server.on("KRV52000.rdmPedReq", "GeraPedidoPorRequisicao", 11,
              [](std::vector<Variant>&) -> Variant { throw rpc::MethodFailure("Pedido recusado"); });
    server.clearCalls();
    ui.answerDialog(pressGerar());
    order->sbtConfirma->click();
    EXPECT_EQ(ui.errors(), QStringList{"Pedido recusado"});
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information).size(), 2);
    EXPECT_TRUE(methodsOf("getRequisicoes").empty());
    EXPECT_EQ(order->NrListaRequiPedido(), "R3");
    EXPECT_EQ(ui.busyOn, ui.busyOff);

    // "Cancelar" in the preview, or Enter on it, generates nothing and says nothing.
    server.clearCalls();
    ui.answerDialog([](QDialog& dialog) {
        EXPECT_TRUE(dialog.findChild<QPushButton*>("btnCancelar")->isDefault());
        dialog.findChild<QPushButton*>("btnCancelar")->click();
        return dialog.result();
    });
    order->sbtConfirma->click();
    EXPECT_EQ(server.methods(), (std::vector<std::string>{"GetNrListaRequiPedido", "PreviaPedidoPorRequisicao"}));
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information).size(), 2);
    EXPECT_TRUE(ui.allAnswersUsed());

    closeOrder();
    EXPECT_EQ(lastArgs("apagaListaRequiPedido").at(0).asString(), "R4");
}

// "Descontar saldo e sobras" goes as the eleventh argument of the preview and the generation
// alike, and each operator finds it as they left it.
TEST_F(Generation, TheNettingOptionGoesEleventhAndIsRememberedPerOperator) {
    const struct {
        const char* operador;
        int check;  // -1: left as it opens
        bool opensChecked;
        const char* sent;
    } steps[] = {
        {"ADMIN", -1, false, "N"}, {"ADMIN", 1, false, "S"}, {"ADMIN", -1, true, "S"},
        {"OUTRO", -1, false, "N"}, {"ADMIN", 0, true, "N"},  {"ADMIN", -1, false, "N"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.operador) + " " + step.sent);
        host::SetSession({"0001", step.operador, "127.0.0.1", int(server.port()), ""});
        openOrder();
        EXPECT_EQ(order->chbDescontarSaldo->isChecked(), step.opensChecked);
        if (step.check >= 0) order->chbDescontarSaldo->setChecked(step.check == 1);
        ui.answerDialog(pressGerar());
        order->sbtConfirma->click();
        for (const char* method : {"PreviaPedidoPorRequisicao", "GeraPedidoPorRequisicao"}) {
            const std::vector<Variant> args = lastArgs(method);
            ASSERT_EQ(args.size(), 11u) << method;
            EXPECT_EQ(args[9], Variant("N")) << method << ": rounding stays tenth";
            EXPECT_EQ(args[10], Variant(step.sent)) << method;
        }
        closeOrder();
    }
    QSettings(QStringLiteral("krv"), QStringLiteral("krv-host")).remove("operadores");
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
}

// The success message counts the orders, and the requisitions the stock met when there are
// any; a server that answers three elements met none.
TEST_F(Generation, TheSuccessMessageSaysWhatTheStockMet) {
    const auto n = [](int64_t v) { return Variant(v); };
    const struct {
        Variant::Array answer;
        const char* message;
    } cases[] = {
        {{n(2), n(501), n(502), n(0)}, "2 pedidos gerados: números 501 a 502."},
        {{n(2), n(501), n(502)}, "2 pedidos gerados: números 501 a 502."},
        {{n(1), n(501), n(501), n(1)},
         "1 pedido gerado: número 501.\nAtendidas pelo estoque, sem pedido: 1 requisição."},
        {{n(0), Variant(), Variant(), n(1234)},
         "Nenhum pedido gerado.\nAtendidas pelo estoque, sem pedido: 1.234 requisições."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        server.on("KRV52000.rdmPedReq", "GeraPedidoPorRequisicao", 11,
                  [&](std::vector<Variant>&) { return Variant(c.answer); });
        openOrder();
        ui.messages.clear();
        ui.answerDialog(pressGerar());
        order->sbtConfirma->click();
        EXPECT_EQ(ui.texts(host::MsgDlgType::Information),
                  QStringList{QString::fromUtf8("Geração dos pedidos concluída com sucesso.\n") +
                              QString::fromUtf8(c.message)});
        EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
    }
}

// The preview says how many requisitions were calculated already in whole packages, whose
// rest the netting cannot carry; none, nothing said.
TEST_F(Generation, ThePreviewSaysHowManyRequisitionsWereAlreadyRounded) {
    const struct {
        int64_t rounded;
        const char* said;
    } cases[] = {
        {0, ""},
        {1, "\n1 requisição já arredondada em embalagens: suas sobras não são levadas adiante."},
        {3, "\n3 requisições já arredondadas em embalagens: suas sobras não são levadas adiante."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.rounded);
        roundedRequisitions = c.rounded;
        openOrder();
        QString resumo;
        ui.answerDialog([&](QDialog& dialog) {
            resumo = dialog.findChild<QLabel*>("lblResumo")->text();
            return int(QDialog::Rejected);
        });
        order->sbtConfirma->click();
        EXPECT_EQ(resumo, "2 pedidos com 2 itens. Nada foi gravado ainda." + QString::fromUtf8(c.said));
    }
}

}  // namespace
