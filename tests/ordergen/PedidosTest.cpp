// "Pedidos Gerados": the orders listed, a line led to its requisitions and their explanation,
// cancelled and marked sent by selection, and saved as the KRV521 document.
#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>
#include <map>

#include "host/screens/ReportDesigner.h"
#include "host/session/Access.h"
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmExplicaLinhaPedido.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmItensRequisicao.h"
#include "ordergen/TfrmPedidos.h"
#include "ordergen/TfrmReceberPedido.h"
#include "requisition/TfrmPedReq.h"
#include "rpc/Dispatcher.h"
#include "support/ExplanationSample.h"
#include "support/ReportSamples.h"

using namespace krv;

namespace {

DataPacket Pedidos() {
    DataPacket p{{{"IDMARCADO", FieldType::String, 1},
                  {"NRPEDEXOL", FieldType::Integer, 0},
                  {"CDFILIOPELOG", FieldType::String, 4},
                  {"CDFILIAL", FieldType::String, 4},
                  {"NMFILIAL", FieldType::String, 30},
                  {"DTPEDIDO", FieldType::DateTime, 0},
                  {"IDSITUACAO", FieldType::Fixed, 1},
                  {"DSSITUACAO", FieldType::String, 10},
                  {"QTLINHAS", FieldType::Integer, 0}},
                 {}};
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    p.rows = {{"N", int64_t(41), "0009", "0001", "Cozinha Central", day, "A", "Ativo", int64_t(2)},
              {"N", int64_t(42), "0009", "0002", "Restaurante Norte", day, "E", "Enviado", int64_t(1)},
              {"N", int64_t(43), "0009", "0002", "Restaurante Norte", day, "A", "Ativo", int64_t(0)},
              {"N", int64_t(501), "0009", "0001", "Cozinha Central", day, "A", "Ativo", int64_t(2)},
              {"N", int64_t(502), "0009", "0001", "Cozinha Central", day, "A", "Ativo", int64_t(2)}};
    return p;
}

DataPacket Linhas() {
    DataPacket p{{{"CDPRODUTO", FieldType::String, 10},
                  {"NMPRODUTO", FieldType::String, 60},
                  {"SGUNIDADE", FieldType::String, 4},
                  {"QTNECESSARIA", FieldType::Float, 0},
                  {"QTPEDIDO", FieldType::Float, 0},
                  {"QTEMBALAGENS", FieldType::Integer, 0},
                  {"QTSOBRA", FieldType::Float, 0},
                  {"QTSALDO", FieldType::Float, 0},
                  {"QTRECEBIDA", FieldType::Float, 0}},
                 {}};
    p.rows = {{"0000000007", "Ovo branco", "UN", 630.955, 660.0, int64_t(22), 29.045, 0.0, Variant()},
              {"0000000009", "Café torrado", "KG", 1.5, 1.5, int64_t(2), 0.0, 0.0, Variant()}};
    return p;
}

DataPacket Requisicoes() {
    DataPacket p{{{"CDPRODUTO", FieldType::String, 10},
                  {"NRREQUIPEDIDO", FieldType::Integer, 0},
                  {"CDFILIAL", FieldType::String, 4},
                  {"CDSERVFILI", FieldType::String, 5},
                  {"CDTURNO", FieldType::String, 1},
                  {"DTREQUIPEDIDO", FieldType::DateTime, 0},
                  {"IDTIPOCONSUMO", FieldType::Fixed, 1},
                  {"QTREQUISITADA", FieldType::Float, 0}},
                 {}};
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    p.rows = {{"0000000007", int64_t(3), "0001", "00002", "1", day, "C", 600.0},
              {"0000000007", int64_t(4), "0001", "00002", "2", day, "C", 60.0},
              {"0000000009", int64_t(3), "0001", "00002", "1", day, "F", 1.5}};
    return p;
}

class PedidosGerados : public test::OrderFixture {
protected:
    PedidosGerados() {
        server.stop();  // methods are declared while the server is down
        const auto answer = [this](const char* method, int count, std::function<Variant()> payload) {
            server.on("KRV52000.rdmPedReq", method, count, [payload](std::vector<Variant>&) { return payload(); });
        };
        answer("GetPedidos", 4, [] { return Variant(Pedidos()); });
        answer("GetItensPedido", 1, [] { return Variant(Linhas()); });
        answer("GetRequisicoesPedido", 1, [] { return Variant(Requisicoes()); });
        answer("CancelaPedido", 3, [] { return Variant(Variant::Array{int64_t(1234), int64_t(5284)}); });
        answer("MarcaPedidosEnviados", 2, [] { return Variant(Variant::Array{int64_t(1)}); });
        answer("GetProdutosRequisicao", 1, [] {
            DataPacket p{{{"CDPRODUTO", FieldType::String, 10}, {"NMPRODUTO", FieldType::String, 60}}, {}};
            p.rows = {{"0000000007", "Ovo branco"}, {"0000000009", "Café torrado"}};
            return Variant(p);
        });
        answer("ExplicaItemRequisicao", 2, [] { return Variant(test::ExplanationPacket()); });
        answer("ExplicaItemPedido", 2, [] { return Variant(test::ExplanationPacket()); });
        answer("RecebePedidos", 3, [] { return Variant(Variant::Array{int64_t(1)}); });
        server.on("KRV52000.rdmPedReq", "RecebeItensPedido", 3, [](std::vector<Variant>& args) {
            return Variant(Variant::Array{int64_t(args[1].packet().rows.size())});
        });
        server.on("Host.rdmRelatorio", "GetDados", 2, [](std::vector<Variant>&) { return Variant(KRV521Rows()); });
        server.start();
    }
    static DataPacket KRV521Rows() {
        DataPacket p = test::OrderDocumentFields();
        p.rows = {{int64_t(41), "0009", "CD", "0001", "Cozinha Central", "00002", "Almoço", "1", "Manhã",
                   DateTime::fromDate(2026, 12, 7), "OPER", "06/12/2026 10:30", "0.00.000.0007", "Ovo branco", "UN",
                   630.955, 660.0, int64_t(22)}};
        return p;
    }
    ordergen::TfrmPedidos* open() {
        form->sbtPedidos->click();
        auto* window = form->findChild<ordergen::TfrmPedidos*>();
        EXPECT_NE(window, nullptr);
        return window;
    }
    void select(ordergen::TfrmPedidos* window, std::initializer_list<int> rows) {
        window->dbgPedidos->clearSelection();
        for (const int row : rows)
            window->dbgPedidos->selectionModel()->select(window->dbgPedidos->model()->index(row, 0),
                                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
};

}  // namespace

TEST_F(PedidosGerados, ListsTheOrdersOfTheFilterAndLeadsALineToItsRequisitionsAndTheirExplanation) {
    ordergen::TfrmPedidos* window = open();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(lastArgs("GetPedidos"), (std::vector<Variant>{"0001", processingDate, processingDate, "T"}));
    EXPECT_EQ(window->lblStatus->text(), "5 pedidos, 7 linhas");
    EXPECT_EQ(lastArgs("GetItensPedido"), std::vector<Variant>{Variant(int64_t(41))});
    EXPECT_EQ(window->cdsRequisicoesPedido.RecordCount(), 2) << "the first line's requisition items only";
    EXPECT_EQ(window->dbgItens->model()->index(0, 0).data().toString(), "0.00.000.0007") << "as every window shows it";
    window->dbgItens->setCurrentIndex(window->dbgItens->model()->index(1, 0));
    EXPECT_EQ(window->cdsRequisicoesPedido.RecordCount(), 1);
    window->resize(1000, 640);
    renderPng(window, "TfrmPedidos");

    ui.answerDialog([](QDialog& dialog) {
        EXPECT_NE(dynamic_cast<ordergen::TfrmItensRequisicao*>(&dialog), nullptr);
        return int(QDialog::Accepted);
    });
    window->sbtExplicar->click();
    EXPECT_EQ(lastArgs("GetProdutosRequisicao"), std::vector<Variant>{Variant(int64_t(3))});
    EXPECT_EQ(lastArgs("ExplicaItemRequisicao"), (std::vector<Variant>{Variant(int64_t(3)), "0000000009"}))
        << "the requisition opens on the line's product";

    // The line's own make-up: stock, surplus, shelf life.
    int explained = 0;
    ui.answerDialog([&](QDialog& dialog) {
        explained = dynamic_cast<ordergen::TfrmExplicaLinhaPedido&>(dialog).cdsExplicacao.RecordCount();
        return int(QDialog::Accepted);
    });
    window->sbtExplicarLinha->click();
    EXPECT_EQ(lastArgs("ExplicaItemPedido"), (std::vector<Variant>{Variant(int64_t(41)), "0000000009"}));
    EXPECT_EQ(explained, int(test::ExplanationPacket().rows.size()));

    // Another order, another situation.
    window->cbxSituacao->setCurrentIndex(1);
    window->medFilial->setText("9");
    window->sbtAtualizar->click();
    EXPECT_EQ(lastArgs("GetPedidos"), (std::vector<Variant>{"0009", processingDate, processingDate, "E"}));
    window->cbxSituacao->setCurrentIndex(2);
    window->sbtAtualizar->click();
    EXPECT_EQ(lastArgs("GetPedidos").at(3), Variant("R")) << window->cbxSituacao->currentText().toStdString();
    window->dbgPedidos->setCurrentIndex(window->dbgPedidos->model()->index(2, 0));
    EXPECT_EQ(lastArgs("GetItensPedido"), std::vector<Variant>{Variant(int64_t(43))});
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());

    QApplication::setActiveWindow(window);
    window->dbgPedidos->setFocus();
    QTest::keyClick(window->dbgPedidos, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible()) << "Esc closes the window";
}

TEST_F(PedidosGerados, CancelsAndMarksTheSelectedOrdersAndOffersMarkingAfterSaving) {
    ordergen::TfrmPedidos* window = open();
    ASSERT_NE(window, nullptr);
    select(window, {0, 2});
    EXPECT_EQ(window->PedidosSelecionados(), "_41_43_");
    ui.answerModal(host::mrNo);
    window->sbtCancelarPedidos->click();
    EXPECT_TRUE(methodsOf("CancelaPedido").empty()) << "No cancels nothing";
    ui.answerModal(host::mrYes);
    window->sbtCancelarPedidos->click();
    EXPECT_EQ(lastArgs("CancelaPedido"), (std::vector<Variant>{"_41_43_", "ADMIN", ""}));
    EXPECT_EQ(ui.messages.back().text,
              QString::fromUtf8("Cancelar os 2 pedidos 41, 43? Suas requisições serão liberadas."));
    EXPECT_EQ(ui.statuses.back(), QString::fromUtf8("1.234 pedidos cancelados; 5.284 requisições liberadas."));

    select(window, {1});
    ui.answerModal(host::mrNo);
    window->sbtCancelarPedidos->click();
    EXPECT_EQ(ui.messages.back().text, QString::fromUtf8("Cancelar o pedido 42? Suas requisições serão liberadas."));
    window->sbtMarcarEnviados->click();
    EXPECT_EQ(lastArgs("MarcaPedidosEnviados"), (std::vector<Variant>{"_42_", "ADMIN"}));
    EXPECT_EQ(ui.statuses.back(), "1 pedido marcado como enviado.");

    // Saved as PDF through the report engine; the current order is active, so marking it is offered.
    QTemporaryDir dir;
    host::TReportDesigner::SetReportsDir(KRV_REPORTS_DIR);
    window->dbgPedidos->clearSelection();
    window->dbgPedidos->setCurrentIndex(window->dbgPedidos->model()->index(0, 0));
    window->dbgPedidos->clearSelection();
    server.clearCalls();
    ui.answerFileName(dir.filePath("pedido.pdf"));
    ui.answerModal(host::mrYes);
    window->sbtSalvarComo->click();
    host::TReportDesigner::SetReportsDir({});
    EXPECT_TRUE(QFile::exists(dir.filePath("pedido.pdf")));
    const std::vector<Variant> report = lastArgs("GetDados");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0], Variant("KRV521"));
    bool named = false;
    for (const Variant& pair : report[1].array())
        named = named || (pair.array().at(0) == Variant("P_PEDIDOS") && pair.array().at(1) == Variant("_41_"));
    EXPECT_TRUE(named) << report[1].asString();
    EXPECT_EQ(lastArgs("MarcaPedidosEnviados"), (std::vector<Variant>{"_41_", "ADMIN"}));
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
}

// Nothing printed or written, nothing to mark: the question would mark an active order sent,
// and a sent order can no longer be cancelled.
TEST_F(PedidosGerados, ACancelledPrintOrSaveDialogAsksNothingAndLeavesTheOrderActive) {
    ordergen::TfrmPedidos* window = open();
    ASSERT_NE(window, nullptr);
    host::TReportDesigner::SetReportsDir(KRV_REPORTS_DIR);
    struct Case {
        const char* name;
        std::function<void()> cancel;
        QAbstractButton* button;
    };
    const Case cases[] = {{"save dialog", [&] { ui.answerFileName(""); }, window->sbtSalvarComo},
                          {"print dialog", [&] { ui.answerPrint(false); }, window->sbtPrint}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window->dbgPedidos->setCurrentIndex(window->dbgPedidos->model()->index(0, 0));
        server.clearCalls();
        c.cancel();  // and no answer for a question: one asked fails the test
        c.button->click();
        EXPECT_FALSE(lastArgs("GetDados").empty()) << "the report was fetched";
        EXPECT_TRUE(methodsOf("MarcaPedidosEnviados").empty());
        EXPECT_TRUE(ui.allAnswersUsed());
        EXPECT_TRUE(ui.messages.empty()) << ui.messages.back().text.toStdString();
    }
    // Really printed (to a PDF file as the printer), the question comes.
    QTemporaryDir dir;
    ui.printerChoice = [&](QPrinter& printer) { printer.setOutputFileName(dir.filePath("impresso.pdf")); };
    ui.answerPrint(true);
    ui.answerModal(host::mrYes);
    window->sbtPrint->click();
    host::TReportDesigner::SetReportsDir({});
    EXPECT_TRUE(QFile::exists(dir.filePath("impresso.pdf")));
    EXPECT_EQ(lastArgs("MarcaPedidosEnviados"), (std::vector<Variant>{"_41_", "ADMIN"}));
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
}

// The orders of a generation are those of the order screen's branches, which may be others
// than the requisition screen's one.
TEST_F(PedidosGerados, AfterAGenerationF9AndF3OpenOnTheOrdersJustMadeOverTheOrderScreensBranches) {
    struct Case {
        const char* name;
        std::function<void()> prepare;
        const char* filial;
    };
    const Case cases[] = {
        {"the one branch listed", [] {}, "0001"},
        {"every branch",
         [&] {
             order->rbtTFilial->setFocus(Qt::OtherFocusReason);
             order->rbtTFilial->setChecked(true);
             leave(order->rbtTFilial, order->chbGerarPorTurno);
         },
         "T"},
        {"consolidated into a branch",
         [&] {
             order->chbFilial->setChecked(false);
             order->medCdFilial->setText("0009");
             order->chbServico->setChecked(false);
             order->medCdServico->setText("0001");
         },
         "0009"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openOrder();
        c.prepare();
        ui.answerDialog([](QDialog&) { return int(QDialog::Accepted); });  // the preview: generate
        order->sbtConfirma->click();
        QTest::keySequence(order, QKeySequence(Qt::Key_F9));
        auto* window = order->findChild<ordergen::TfrmPedidos*>();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(lastArgs("GetPedidos"), (std::vector<Variant>{c.filial, processingDate, processingDate, "T"}));
        EXPECT_EQ(window->PedidosSelecionados(), "_501_502_");
        closeOrder();
        // The requisition screen's F3, the order screen gone, opens on the same orders.
        server.clearCalls();
        form->sbtPedidos->click();
        auto* again = form->findChild<ordergen::TfrmPedidos*>();
        ASSERT_NE(again, nullptr);
        EXPECT_EQ(lastArgs("GetPedidos"), (std::vector<Variant>{c.filial, processingDate, processingDate, "T"}));
        EXPECT_EQ(again->PedidosSelecionados(), "_501_502_");
        delete again;
        EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
    }
    // Another period of the requisition screen: its own branch, nothing selected.
    form->depDataFina->SetDate(DateTime::fromDate(2026, 12, 8));
    form->sbtPedidos->click();
    auto* other = form->findChild<ordergen::TfrmPedidos*>();
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(lastArgs("GetPedidos").at(0), Variant("0001"));
    EXPECT_EQ(other->PedidosSelecionados(), "_41_") << "the current order only";
}

// The requisitions list shows which requisitions have an order: a cancellation in the orders
// window gives some back, so the list is read again as the window closes; F5 reads it anyway.
TEST_F(PedidosGerados, TheOrderScreenReadsItsListAgainAfterTheOrdersWindowChangedOrdersAndOnF5) {
    struct Case {
        const char* name;
        std::function<void(ordergen::TfrmPedidos*)> act;
        size_t reads;
    };
    const Case cases[] = {
        {"closed unchanged", [](ordergen::TfrmPedidos*) {}, 0},
        {"an order cancelled",
         [&](ordergen::TfrmPedidos* w) {
             ui.answerModal(host::mrYes);
             w->sbtCancelarPedidos->click();
         },
         1},
        {"an order marked sent", [](ordergen::TfrmPedidos* w) { w->sbtMarcarEnviados->click(); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        openOrder();
        order->findChild<QAbstractButton*>("sbtPedidos")->click();
        auto* window = order->findChild<ordergen::TfrmPedidos*>();
        ASSERT_NE(window, nullptr);
        c.act(window);
        server.clearCalls();
        window->close();
        EXPECT_EQ(methodsOf("getRequisicoes").size(), c.reads);
        QTest::keySequence(order, QKeySequence(Qt::Key_F5));
        EXPECT_EQ(methodsOf("getRequisicoes").size(), c.reads + 1);
        EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
        closeOrder();
    }
}

namespace {

// A role's refused actions, as the server words them, and what each screen shows for it.
struct Expected {
    const char* control;
    const char* refused;  // the action words in the tooltip; nullptr: enabled
};
struct RoleCase {
    const char* name;
    const char* role;
    std::vector<const char*> refusedActions;
    std::vector<Expected> pedReq;
    std::vector<Expected> pedidos;  // empty: the role does not open "Pedidos Gerados"
};

std::string Refusal(const RoleCase& c, const char* action) {
    return std::string("Operador ADMIN (") + c.role + ") não pode " + action + ".";
}

class Roles : public PedidosGerados, public ::testing::WithParamInterface<RoleCase> {
protected:
    Roles() {
        role = GetParam().role;
        for (const char* action : GetParam().refusedActions) refused.emplace_back(action, Refusal(GetParam(), action));
    }
    void expect(QWidget* screen, const std::vector<Expected>& table) {
        for (const Expected& e : table) {
            SCOPED_TRACE(e.control);
            auto* control = screen->findChild<QWidget*>(e.control);
            ASSERT_NE(control, nullptr);
            EXPECT_EQ(control->isEnabled(), e.refused == nullptr);
            if (!e.refused) continue;
            EXPECT_EQ(control->toolTip().toStdString(), Refusal(GetParam(), e.refused));
            control->setEnabled(true);  // as the screen's own rules do when its state changes
            EXPECT_FALSE(control->isEnabled()) << "the role still may not";
        }
    }
};

}  // namespace

// Nothing the screen offers answers with a refusal: a refused action is greyed, says why, and
// its key does nothing.
TEST_P(Roles, EveryButtonARoleMayNotUseIsGreyedWithTheRefusalAndItsKeyDoesNothing) {
    const RoleCase& c = GetParam();
    expect(form, c.pedReq);
    server.clearCalls();
    form->setFocus();
    QTest::keySequence(form, QKeySequence(Qt::Key_F3));
    auto* window = form->findChild<ordergen::TfrmPedidos*>();
    EXPECT_EQ(window != nullptr, !c.pedidos.empty());
    if (!window) {
        EXPECT_TRUE(methodsOf("GetPedidos").empty());
    } else {
        expect(window, c.pedidos);
        QApplication::setActiveWindow(window);
        window->dbgPedidos->setFocus();
        server.clearCalls();
        const std::pair<QAbstractButton*, Qt::Key> keys[] = {{window->sbtMarcarEnviados, Qt::Key_F6},
                                                             {window->sbtCancelarPedidos, Qt::Key_F7}};
        for (const auto& [button, key] : keys)
            if (!button->isEnabled()) QTest::keySequence(window->dbgPedidos, QKeySequence(key));
        EXPECT_TRUE(server.methods().empty()) << server.methods().front();
        QTest::keySequence(window->dbgPedidos, QKeySequence(Qt::Key_F5));  // the keys do reach the window
        EXPECT_FALSE(methodsOf("GetPedidos").empty());
    }
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    ThreeRoles, Roles,
    ::testing::Values(RoleCase{"cozinha",
                               "cozinha",
                               {"selecionar requisições para pedidos", "ver a prévia de pedidos", "gerar pedidos",
                                "cancelar pedidos", "marcar pedidos como enviados", "calcular a previsão de consumo",
                                "consultar a previsão de consumo", "calcular requisições de várias filiais",
                                "emitir listas de separação"},
                               {{"sbtCalcReq", nullptr},
                                {"sbtGerarPedido", "selecionar requisições para pedidos"},
                                {"sbtPedidos", nullptr},
                                {"sbtPrint", nullptr}},
                               // A kitchen lists its own kitchens' orders, to receive them.
                               {{"sbtMarcarEnviados", "marcar pedidos como enviados"},
                                {"sbtCancelarPedidos", "cancelar pedidos"},
                                {"chbSeparacao", "emitir listas de separação"},
                                {"sbtExplicarLinha", nullptr}}},
                      RoleCase{"compras",
                               "compras",
                               {"calcular a previsão de consumo", "calcular requisições de várias filiais",
                                "emitir listas de separação"},
                               {{"sbtCalcReq", nullptr}, {"sbtGerarPedido", nullptr}, {"sbtPedidos", nullptr}},
                               {{"sbtMarcarEnviados", nullptr},
                                {"sbtCancelarPedidos", nullptr},
                                {"chbSeparacao", "emitir listas de separação"},
                                {"sbtSalvarComo", nullptr}}},
                      RoleCase{"logistica",
                               "operador logístico",
                               {"calcular requisições", "selecionar requisições para pedidos",
                                "ver a prévia de pedidos", "gerar pedidos", "cancelar pedidos",
                                "marcar pedidos como enviados", "receber pedidos", "registrar contagens de estoque"},
                               {{"sbtCalcReq", "calcular requisições"},
                                {"sbtGerarPedido", "selecionar requisições para pedidos"},
                                {"sbtPedidos", nullptr}},
                               {{"sbtMarcarEnviados", "marcar pedidos como enviados"},
                                {"sbtCancelarPedidos", "cancelar pedidos"},
                                {"sbtReceber", "receber pedidos"},
                                {"chbSeparacao", nullptr},
                                {"sbtSalvarComo", nullptr}}}),
    [](const auto& info) { return std::string(info.param.name); });

// The logistic operator's own document: the pick list of the branch and period, not the
// selected orders, and nothing to mark after it.
TEST_F(PedidosGerados, ThePickListIsTheReportOfTheBranchAndPeriodAndAsksNothingAfter) {
    ordergen::TfrmPedidos* window = open();
    ASSERT_NE(window, nullptr);
    host::TReportDesigner::SetReportsDir(KRV_REPORTS_DIR);
    window->chbSeparacao->setChecked(true);
    EXPECT_EQ(window->lblCodRel->text(), "KRV522");
    window->medFilial->setText("T");
    server.clearCalls();
    window->sbtSalvarComo->click();
    EXPECT_EQ(ui.errors(), QStringList{QString::fromUtf8("Informe o operador logístico da lista de separação.")});
    EXPECT_TRUE(methodsOf("GetDados").empty());

    QTemporaryDir dir;
    window->medFilial->setText("0009");
    ui.answerFileName(dir.filePath("separacao.pdf"));
    window->sbtSalvarComo->click();  // no answer queued for a question: one asked fails
    host::TReportDesigner::SetReportsDir({});
    EXPECT_TRUE(QFile::exists(dir.filePath("separacao.pdf")));
    const std::vector<Variant> report = lastArgs("GetDados");
    ASSERT_EQ(report.size(), 2u);
    EXPECT_EQ(report[0], Variant("KRV522"));
    std::map<std::string, Variant> params;
    for (const Variant& pair : report[1].array()) params[pair.array().at(0).asString()] = pair.array().at(1);
    EXPECT_EQ(params["P_CDFILIAL"], Variant("0009"));
    EXPECT_EQ(params["P_IDRESUMO"], Variant("S"));
    EXPECT_TRUE(methodsOf("MarcaPedidosEnviados").empty());
    EXPECT_EQ(ui.errors().size(), 1);
    EXPECT_TRUE(ui.allAnswersUsed());

    window->chbSeparacao->setChecked(false);
    EXPECT_EQ(window->lblCodRel->text(), "KRV521");
}
// "Receber" on the current order: untouched, the whole order as ordered on the chosen day;
// with quantities typed, only those lines, today; a text that is no quantity, another day with
// typed lines or the server's refusal keep the window open and call nothing more.
TEST_F(PedidosGerados, ReceivesTheCurrentOrderWholeOrByTheLinesTyped) {
    const QDate today = QDate::currentDate();
    const QDate processing(2026, 12, 7);
    const char* const rejected = nullptr;
    struct Case {
        const char* what;
        std::map<int, QString> typed;  // row -> received text
        QDate day;
        const char* refusal;  // the server's; nullptr: it accepts
        std::string method;   // "" when no receipt is called
        std::vector<Variant> args;
        const char* shown;  // status when done, else the error
    };
    DataPacket zero{{{"CDPRODUTO", FieldType::String, 10}, {"QTRECEBIDA", FieldType::Float, 0}}, {}};
    DataPacket two = zero;
    zero.rows = {{"0000000007", 0.0}};
    two.rows = {{"0000000007", 659.5}, {"0000000009", 1.123456}};
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    const Case cases[] = {
        {"untouched",
         {},
         processing,
         rejected,
         "RecebePedidos",
         {"_41_", day, "ADMIN"},
         "Pedido 41 recebido em 07/12/2026, como pedido."},
        {"typed back as it was",
         {{1, "1,500"}},
         processing,
         rejected,
         "RecebePedidos",
         {"_41_", day, "ADMIN"},
         "Pedido 41 recebido em 07/12/2026, como pedido."},
        {"nothing received of a line",
         {{0, "0"}},
         today,
         rejected,
         "RecebeItensPedido",
         {Variant(int64_t(41)), Variant(zero), "ADMIN"},
         "Pedido 41 recebido hoje: 1 linha com a quantidade alterada, as demais como pedidas."},
        {"dot or comma, the stored decimals",
         {{0, "659.5"}, {1, "1,123456"}},
         today,
         rejected,
         "RecebeItensPedido",
         {Variant(int64_t(41)), Variant(two), "ADMIN"},
         "Pedido 41 recebido hoje: 2 linhas com a quantidade alterada, as demais como pedidas."},
        {"one decimal too many",
         {{1, "1,1234567"}},
         today,
         rejected,
         "",
         {},
         "Quantidade inválida para Café torrado: \"1,1234567\". Informe um número maior ou igual a zero, com até 6 "
         "decimais."},
        {"negative",
         {{0, "-1"}},
         today,
         rejected,
         "",
         {},
         "Quantidade inválida para Ovo branco: \"-1\". Informe um número maior ou igual a zero, com até 6 decimais."},
        {"emptied",
         {{0, ""}},
         today,
         rejected,
         "",
         {},
         "Quantidade inválida para Ovo branco: \"\". Informe um número maior ou igual a zero, com até 6 decimais."},
        {"typed lines on another day", {{0, "600"}}, today.addDays(-1), rejected, "", {}, nullptr},
        {"refused", {}, processing, "Pedido 41 já recebido.", "", {}, "Pedido 41 já recebido."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.on("KRV52000.rdmPedReq", "RecebePedidos", 3, [&](std::vector<Variant>&) -> Variant {
            if (c.refusal) throw rpc::MethodFailure(c.refusal);
            return Variant(Variant::Array{int64_t(1)});
        });
        ordergen::TfrmPedidos* window = open();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->sbtReceber->isEnabled());
        server.clearCalls();
        ui.messages.clear();
        ui.statuses.clear();
        bool accepted = false;
        QDate offered;
        ui.answerDialog([&](QDialog& dialog) {
            auto& receber = dynamic_cast<ordergen::TfrmReceberPedido&>(dialog);
            receber.show();  // as exec shows it: an error gives the focus to its control
            offered = receber.depDtRecebimento->date();
            receber.depDtRecebimento->setDate(c.day);
            for (const auto& [row, text] : c.typed)
                receber.dbgLinhas->item(row, receber.dbgLinhas->columnCount() - 1)->setText(text);
            renderPng(&receber, "TfrmReceberPedido");
            receber.btnReceber->click();
            accepted = receber.result() == QDialog::Accepted;
            if (!accepted) receber.btnCancelar->click();
            return receber.result();
        });
        window->sbtReceber->click();
        EXPECT_EQ(offered, processing) << "the session's processing date";
        EXPECT_EQ(accepted, c.refusal == nullptr && !c.method.empty());
        if (!c.method.empty()) {
            EXPECT_EQ(lastArgs(c.method), c.args);
            EXPECT_EQ(ui.statuses, QStringList{QString::fromUtf8(c.shown)});
            EXPECT_EQ(methodsOf("GetPedidos").size(), 1u) << "the list read again";
        } else {
            EXPECT_TRUE(methodsOf("Recebe").empty() || c.refusal);
            EXPECT_TRUE(methodsOf("GetPedidos").empty());
            const QString error = c.shown ? QString::fromUtf8(c.shown)
                                          : "Quantidades alteradas são recebidas com a data de hoje (" +
                                                today.toString("dd/MM/yyyy") + ").";
            EXPECT_EQ(ui.errors(), QStringList{error});
        }
        EXPECT_TRUE(ui.allAnswersUsed());
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Only an active or sent order is received, and only by a role that may receive.
TEST_F(PedidosGerados, ReceiveIsOnForActiveOrSentOrdersOfARoleThatMayReceive) {
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    DataPacket pedidos = Pedidos();
    pedidos.rows.resize(2);
    pedidos.rows.push_back({"N", int64_t(44), "0009", "0001", "Cozinha Central", day, "R", "Recebido", int64_t(2)});
    pedidos.rows.push_back({"N", int64_t(45), "0009", "0001", "Cozinha Central", day, "C", "Cancelado", int64_t(2)});
    server.on("KRV52000.rdmPedReq", "GetPedidos", 4, [&](std::vector<Variant>&) { return Variant(pedidos); });
    const char* const refusal = "Operador ADMIN (cozinha) não pode receber pedidos.";
    const struct {
        bool mayReceive;
        std::vector<bool> enabled;  // per order: active, sent, received, cancelled
    } cases[] = {{true, {true, true, false, false}}, {false, {false, false, false, false}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mayReceive);
        role = "cozinha";
        refused.clear();
        if (!c.mayReceive) refused.emplace_back(host::kReceberPedidos, refusal);
        host::ForgetAccess();
        ordergen::TfrmPedidos* window = open();
        ASSERT_NE(window, nullptr);
        for (int row = 0; row < 4; ++row) {
            window->dbgPedidos->setCurrentIndex(window->dbgPedidos->model()->index(row, 0));
            EXPECT_EQ(window->sbtReceber->isEnabled(), c.enabled[size_t(row)]) << row;
        }
        if (!c.mayReceive) EXPECT_EQ(window->sbtReceber->toolTip(), QString::fromUtf8(refusal));
        window->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    host::ForgetAccess();
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
}
