// "Cancelar Pedido": the orders of the marked rows (or of the current row) go to the server
// after a confirmation whose default is "Não", and the list is reloaded.
#include "host/dialogs/HostUi.h"
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "rpc/Dispatcher.h"

using namespace krv;

namespace {

class Cancellation : public test::OrderFixture {};

TEST_F(Cancellation, CancelsTheOrdersOfTheMarkedRowsOnlyWhenConfirmed) {
    struct Case {
        const char* what;
        std::vector<test::Req> rows;
        int current;
        int answer;          // to the confirmation; 0: none is asked
        std::string sent;    // the order key list; "": nothing sent
        QString question;
    };
    const Case cases[] = {
        {"marked rows with orders, each order once",
         {{"S", 10, "P1"}, {"S", 11, "P2"}, {"S", 12, "P1"}, {"S", 13, ""}},
         3, host::mrYes, "_P1_P2_", "Cancelar os pedidos P1, P2? As requisições voltam a ficar sem pedido."},
        {"no marked row with an order: the current row's",
         {{"S", 10, ""}, {"N", 11, "P7"}},
         1, host::mrYes, "_P7_", "Cancelar o pedido P7? As requisições voltam a ficar sem pedido."},
        {"the confirmation answered no", {{"N", 10, "P7"}}, 0, host::mrNo, "", ""},
        {"nothing with an order", {{"S", 10, ""}, {"N", 11, "P7"}}, 0, 0, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rows = c.rows;
        openOrder();
        EXPECT_TRUE(order->sbtCancelaPedido->isEnabled());
        setCurrent(c.current, 2);
        ui.messages.clear();
        if (c.answer) ui.answerModal(c.answer);
        order->sbtCancelaPedido->click();
        EXPECT_TRUE(ui.allAnswersUsed());
        if (c.sent.empty()) {
            EXPECT_TRUE(methodsOf("CancelaPedido").empty());
            EXPECT_TRUE(methodsOf("getRequisicoes").empty());
            if (!c.answer) {
                EXPECT_EQ(ui.errors(), QStringList{"Marque as requisições dos pedidos a cancelar."});
            }
            continue;
        }
        EXPECT_EQ(ui.messages.front().text, c.question);
        EXPECT_EQ(lastArgs("CancelaPedido"), (std::vector<Variant>{c.sent, "ADMIN", "0001"}));
        EXPECT_EQ(ui.texts(host::MsgDlgType::Information),
                  QStringList{"1 pedido(s) cancelado(s); 2 requisição(ões) sem pedido de novo."});
        EXPECT_EQ(methodsOf("getRequisicoes").size(), 1u) << "the list is reloaded";
        EXPECT_EQ(ui.busyOn, ui.busyOff);
    }
    rows = {{"S", 10, ""}};
    openOrder();
    EXPECT_FALSE(order->sbtCancelaPedido->isEnabled()) << "no row has an order";
}

}  // namespace

namespace {

// With "Todos" the list holds orders of other branches than the requisition screen's: each
// order goes with its own branch, one call per branch, and the counts add up.
TEST_F(Cancellation, EachOrderGoesWithItsOwnBranch) {
    rows = {{"S", 10, "5", "0002"}, {"S", 11, "6", "0011"}, {"S", 12, "7", "0002"}, {"S", 13, "5", "0002"}};
    openOrder();
    ui.answerModal(host::mrYes);
    order->sbtCancelaPedido->click();
    std::vector<std::vector<Variant>> sent;
    for (const auto& call : server.calls())
        if (call.method == "CancelaPedido") sent.push_back(call.args);
    EXPECT_EQ(sent, (std::vector<std::vector<Variant>>{{"_5_7_", "ADMIN", "0002"}, {"_6_", "ADMIN", "0011"}}));
    EXPECT_EQ(ui.messages.front().text, "Cancelar os pedidos 5, 6, 7? As requisições voltam a ficar sem pedido.");
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information),
              QStringList{"2 pedido(s) cancelado(s); 4 requisição(ões) sem pedido de novo."});

    // The second branch refused: the first one's orders are gone, so the list is reloaded,
    // and nothing is announced as done.
    int call = 0;
    server.on("KRV52000.rdmPedReq", "CancelaPedido", 3, [&call](std::vector<Variant>&) -> Variant {
        if (++call == 2) throw rpc::MethodFailure("Pedido 6 já está cancelado.");
        return Variant(Variant::Array{int64_t(2), int64_t(3)});
    });
    openOrder();
    ui.messages.clear();
    ui.answerModal(host::mrYes);
    order->sbtCancelaPedido->click();
    EXPECT_EQ(ui.errors(), QStringList{"Pedido 6 já está cancelado."});
    EXPECT_TRUE(ui.texts(host::MsgDlgType::Information).isEmpty());
    EXPECT_EQ(methodsOf("getRequisicoes").size(), 1u);
    EXPECT_EQ(ui.busyOn, ui.busyOff);
}

}  // namespace
