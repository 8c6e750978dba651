// "Pedidos Gerados": the orders listed, a line led to its requisitions and their explanation,
// cancelled and marked sent by selection, and saved as the KRV521 document.
#include <QFile>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include "host/screens/ReportDesigner.h"
#include "ordergen/TfrmItensRequisicao.h"
#include "ordergen/TfrmPedidos.h"
#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "requisition/TfrmPedReq.h"
#include "support/ExplanationSample.h"

using namespace krv;

namespace {

DataPacket Pedidos() {
    DataPacket p{{{"IDMARCADO", FieldType::String, 1},   {"NRPEDEXOL", FieldType::Integer, 0},
                  {"CDFILIOPELOG", FieldType::String, 4}, {"CDFILIAL", FieldType::String, 4},
                  {"NMFILIAL", FieldType::String, 30},    {"DTPEDIDO", FieldType::DateTime, 0},
                  {"IDSITUACAO", FieldType::Fixed, 1},    {"DSSITUACAO", FieldType::String, 10},
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
    DataPacket p{{{"CDPRODUTO", FieldType::String, 10}, {"NMPRODUTO", FieldType::String, 60},
                  {"SGUNIDADE", FieldType::String, 4},  {"QTNECESSARIA", FieldType::Float, 0},
                  {"QTPEDIDO", FieldType::Float, 0},     {"QTEMBALAGENS", FieldType::Integer, 0},
                  {"QTSOBRA", FieldType::Float, 0}},
                 {}};
    p.rows = {{"0000000007", "Ovo branco", "UN", 630.955, 660.0, int64_t(22), 29.045},
              {"0000000009", "Café torrado", "KG", 1.5, 1.5, int64_t(2), 0.0}};
    return p;
}

DataPacket Requisicoes() {
    DataPacket p{{{"CDPRODUTO", FieldType::String, 10},   {"NRREQUIPEDIDO", FieldType::Integer, 0},
                  {"CDFILIAL", FieldType::String, 4},     {"CDSERVFILI", FieldType::String, 5},
                  {"CDTURNO", FieldType::String, 1},      {"DTREQUIPEDIDO", FieldType::DateTime, 0},
                  {"IDTIPOCONSUMO", FieldType::Fixed, 1}, {"QTREQUISITADA", FieldType::Float, 0}},
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
        answer("CancelaPedido", 3, [] { return Variant(Variant::Array{int64_t(2), int64_t(5)}); });
        answer("MarcaPedidosEnviados", 2, [] { return Variant(Variant::Array{int64_t(1)}); });
        answer("GetProdutosRequisicao", 1, [] {
            DataPacket p{{{"CDPRODUTO", FieldType::String, 10}, {"NMPRODUTO", FieldType::String, 60}}, {}};
            p.rows = {{"0000000007", "Ovo branco"}, {"0000000009", "Café torrado"}};
            return Variant(p);
        });
        answer("ExplicaItemRequisicao", 2, [] { return Variant(test::ExplanationPacket()); });
        server.on("Host.rdmRelatorio", "GetDados", 2, [](std::vector<Variant>&) { return Variant(KRV521Rows()); });
        server.start();
    }
    static DataPacket KRV521Rows() {
        DataPacket p{{{"NRPEDEXOL", FieldType::Integer, 0}, {"CDFILIOPELOG", FieldType::String, 4},
                      {"NMFILIOPELOG", FieldType::String, 30}, {"CDFILIAL", FieldType::String, 4},
                      {"NMFILIAL", FieldType::String, 30}, {"CDSERVFILI", FieldType::String, 5},
                      {"NMSERVICO", FieldType::String, 40}, {"CDTURNO", FieldType::String, 1},
                      {"NMTURNO", FieldType::String, 10}, {"DTPEDIDO", FieldType::DateTime, 0},
                      {"CDOPERADOR", FieldType::String, 30}, {"DTLANCAMENTO", FieldType::String, 16},
                      {"CDPRODUTO", FieldType::String, 20}, {"NMPRODUTO", FieldType::String, 60},
                      {"SGUNIDADE", FieldType::String, 4}, {"QTNECESSARIA", FieldType::Float, 0},
                      {"QTPEDIDO", FieldType::Float, 0}, {"QTEMBALAGENS", FieldType::Integer, 0}},
                     {}};
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
            window->dbgPedidos->selectionModel()->select(
                window->dbgPedidos->model()->index(row, 0),
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

    // Another order, another situation.
    window->cbxSituacao->setCurrentIndex(1);
    window->medFilial->setText("9");
    window->sbtAtualizar->click();
    EXPECT_EQ(lastArgs("GetPedidos"), (std::vector<Variant>{"0009", processingDate, processingDate, "E"}));
    window->dbgPedidos->setCurrentIndex(window->dbgPedidos->model()->index(2, 0));
    EXPECT_EQ(lastArgs("GetItensPedido"), std::vector<Variant>{Variant(int64_t(43))});
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());
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

    select(window, {1});
    window->sbtMarcarEnviados->click();
    EXPECT_EQ(lastArgs("MarcaPedidosEnviados"), (std::vector<Variant>{"_42_", "ADMIN"}));

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

TEST_F(PedidosGerados, AfterAGenerationTheOrderScreenOpensOnTheOrdersJustMade) {
    openOrder();
    ui.answerDialog([](QDialog&) { return int(QDialog::Accepted); });  // the preview: generate
    order->sbtConfirma->click();
    order->findChild<QAbstractButton*>("sbtPedidos")->click();
    auto* window = order->findChild<ordergen::TfrmPedidos*>();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(lastArgs("GetPedidos"), (std::vector<Variant>{"0001", processingDate, processingDate, "T"}));
    EXPECT_EQ(window->PedidosSelecionados(), "_501_502_");
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("\n").toStdString();
}
