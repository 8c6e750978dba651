#include "ordergen/OrderFixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QTest>

#include "host/session/Application.h"
#include "ordergen/Cli_krv52010.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::test {

namespace {

DataPacket RequisitionPacket(const std::vector<Req>& rows) {
    DataPacket packet;
    for (const char* name :
         {"IDMARCADO", "NRREQUIPEDIDO", "CDSERVFILI", "NMSERVICO", "CDTURNO", "NMTURNO", "DTREQUIPEDIDO",
          "NRSEQREQUIPEDIDO", "CDGRUPPROD", "CDSUBGRPROD", "NMSUBGRPROD", "CDFILIOPELOG", "NMFILIOPELOG", "NRPEDEXOL",
          "CDFILDEST", "CDFILLANC", "DTREQUIPEDIDO_PESQ", "FILIOPELOG", "CDFILIAL"})
        packet.fields.push_back({name, FieldType::String, 40});
    packet.fields[1].type = FieldType::Float;
    packet.fields[6].type = FieldType::DateTime;
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    for (const Req& r : rows)
        packet.rows.push_back({r.mark, r.number, "0001", "Almoço", "1", "Manhã", day, "1", "01", "001", "Carnes",
                               "0009", "Operador Logístico", *r.order ? Variant(r.order) : Variant(), "0001", "0001",
                               "07/12/2026", "0009 - Operador Logístico", r.branch});
    return packet;
}

// Two orders: the first with two lines, the second with none.
DataPacket PreviewRows(int64_t roundedRequisitions) {
    DataPacket packet{{{"NRSEQPEDIDO", FieldType::Integer, 0},
                       {"CDFILIOPELOG", FieldType::String, 4},
                       {"NMFILIOPELOG", FieldType::String, 30},
                       {"DTPEDIDO", FieldType::DateTime, 0},
                       {"CDFILIAL", FieldType::String, 4},
                       {"CDSERVFILI", FieldType::String, 5},
                       {"CDTURNO", FieldType::String, 1},
                       {"CDPRODUTO", FieldType::String, 10},
                       {"NMPRODUTO", FieldType::String, 60},
                       {"SGUNIDADE", FieldType::String, 4},
                       {"QTNECESSARIA", FieldType::Float, 0},
                       {"QTPEDIDO", FieldType::Float, 0},
                       {"QTEMBALAGEM", FieldType::Float, 0},
                       {"QTEMBALAGENS", FieldType::Float, 0},
                       {"QTSOBRA", FieldType::Float, 0},
                       {"QTSALDO", FieldType::Float, 0},
                       {"QTREQARRED", FieldType::Integer, 0}},
                      {}};
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    const Variant arredondadas(roundedRequisitions);
    packet.rows.push_back({int64_t(1), "0009", "Operador", day, "0001", "0001", "1", "0101000001", "Margarina", "KG",
                           4.92, 15.0, 15.0, 1.0, 10.08, 0.0, arredondadas});
    packet.rows.push_back({int64_t(1), "0009", "Operador", day, "0001", "0001", "1", "0101000002", "Arroz", "KG", 3.0,
                           3.0, 1.0, 3.0, 0.0, 0.0, arredondadas});
    packet.rows.push_back({int64_t(2), "0009", "Operador", day, "0001", "0002", Variant(), Variant(), Variant(),
                           Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), arredondadas});
    return packet;
}

}  // namespace

DataPacket OrderFixture::PreviewPacket() const { return PreviewRows(roundedRequisitions); }

OrderFixture::OrderFixture() {
    // Codes as the consolidation edits take them.
    services = {{"0001", "Desjejum"}, {"0002", "Almoço"}};
    server.stop();  // methods are declared while the server is down
    server.on("KRV52000.rdmPedReq", "getRequisicoes", 5, [this](std::vector<Variant>&) {
        messagesAtLoad.push_back(ui.messages.size());  // the screen waits for the answer
        return Variant(RequisitionPacket(rows));
    });
    server.on("KRV52000.rdmPedReq", "GetNrListaRequiPedido", 3, [this](std::vector<Variant>&) {
        return Variant(Variant::Array{Variant("R" + std::to_string(++ordersListsMade))});
    });
    server.on("KRV52000.rdmPedReq", "apagaListaRequiPedido", 1, [](std::vector<Variant>&) { return Variant(); });
    server.on("KRV52000.rdmPedReq", "PreviaPedidoPorRequisicao", 11,
              [this](std::vector<Variant>&) { return Variant(PreviewPacket()); });
    server.on("KRV52000.rdmPedReq", "GeraPedidoPorRequisicao", 11, [](std::vector<Variant>&) {
        return Variant(Variant::Array{int64_t(2), int64_t(501), int64_t(502)});
    });
    server.on("KRV52000.rdmPedReq", "CancelaPedido", 3, [](std::vector<Variant>&) {
        return Variant(Variant::Array{int64_t(1), int64_t(2)});
    });
    // "Pedidos Gerados" (F9) lists no order unless a test says otherwise.
    server.on("KRV52000.rdmPedReq", "GetPedidos", 4, [](std::vector<Variant>&) { return Variant(DataPacket{}); });
    server.start();
}

void OrderFixture::SetUp() {
    ShownScreen::SetUp();
    frmPedReq = form;  // the order screen reaches the requisition screen only through it
}

TfrmGerarPedReq* OrderFixture::openOrder() {
    delete order;
    order = nullptr;
    server.clearCalls();
    messagesAtLoad.clear();
    host::Application.CreateForm(frmGerarPedReq);
    order = frmGerarPedReq;
    orderAlive = order;
    order->show();
    order->activateWindow();
    QApplication::setActiveWindow(order);
    EXPECT_TRUE(QTest::qWaitForWindowActive(order));
    // The focus starts in the grid, so that no test leaves the branch filter's group unawares.
    order->dbgRequisicoes->setFocus(Qt::OtherFocusReason);
    server.clearCalls();
    messagesAtLoad.clear();
    return order;
}

void OrderFixture::closeOrder() {
    order->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    order = nullptr;
}

std::string OrderFixture::marks() const {
    std::string s;
    const TClientDataSet& list = order->cdsRequisicoes;
    for (int r = 0; r < list.RecordCount(); ++r) s += list.ValueAt(r, 0).isNull() ? "_" : list.ValueAt(r, 0).str();
    return s;
}

std::vector<Variant> OrderFixture::lastArgs(const std::string& method) const {
    const auto calls = server.calls();
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->method == method) return it->args;
    ADD_FAILURE() << method << " was not called";
    return {};
}

void OrderFixture::clickGrid(int row, int column) {
    QTableView* grid = order->dbgRequisicoes;
    if (row < 0) {
        QHeaderView* header = grid->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
        return;
    }
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(grid->model()->index(row, column)).center());
}

void OrderFixture::setCurrent(int row, int column) {
    order->dbgRequisicoes->setCurrentIndex(order->dbgRequisicoes->model()->index(row, column));
}

int OrderFixture::currentRow() const { return order->cdsRequisicoes.RecNo(); }

}  // namespace krv::test
