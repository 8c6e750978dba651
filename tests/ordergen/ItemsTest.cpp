// The items of a requisition and their make-up, from the order screen's grid.
#include <QPointer>
#include <QTest>

#include "ordergen/OrderFixture.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmItensRequisicao.h"
#include "support/ExplanationSample.h"

using namespace krv;

namespace {

DataPacket ProductsPacket() {
    DataPacket packet{{{"CDPRODUTO", FieldType::String, 10},
                       {"NMPRODUTO", FieldType::String, 60},
                       {"SGUNIDADE", FieldType::String, 4},
                       {"QTMATERIAPRIMA", FieldType::Float, 0},
                       {"QTCONSUMOFIXO", FieldType::Float, 0},
                       {"QTPERCAPITA", FieldType::Float, 0},
                       {"QTTOTAL", FieldType::Float, 0}},
                      {}};
    packet.rows = {{"0000000007", "Ovo branco", "UN", 660.0, Variant(), 30.0, 690.0},
                   {"0000000009", "Café torrado", "KG", Variant(), 1.5, Variant(), 1.5}};
    return packet;
}

class Items : public test::OrderFixture {
protected:
    Items() {
        server.stop();  // methods are declared while the server is down
        server.on("KRV52000.rdmPedReq", "GetProdutosRequisicao", 1,
                  [](std::vector<Variant>&) { return Variant(ProductsPacket()); });
        server.on("KRV52000.rdmPedReq", "ExplicaItemRequisicao", 2,
                  [](std::vector<Variant>&) { return Variant(test::ExplanationPacket()); });
        server.start();
    }
    ordergen::TfrmItensRequisicao* itens() const { return order->findChild<ordergen::TfrmItensRequisicao*>(); }
};

}  // namespace

TEST_F(Items, DoubleClickOrEnterOpensTheItemsAndChoosingOneExplainsIt) {
    openOrder();
    // A double click is a press, a release and a second press, as the user's.
    const QPoint cell = order->dbgRequisicoes->visualRect(order->dbgRequisicoes->model()->index(1, 2)).center();
    QTest::mouseClick(order->dbgRequisicoes->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(order->dbgRequisicoes->viewport(), Qt::LeftButton, {}, cell);
    ASSERT_NE(itens(), nullptr);
    EXPECT_EQ(lastArgs("GetProdutosRequisicao"), std::vector<Variant>{Variant(int64_t(11))});
    EXPECT_EQ(itens()->cdsItens.RecordCount(), 2);
    EXPECT_EQ(marks(), "NSNN") << "opening the items marks nothing";

    EXPECT_EQ(lastArgs("ExplicaItemRequisicao"), (std::vector<Variant>{Variant(int64_t(11)), "0000000007"}))
        << "the first item is chosen as the window opens";
    itens()->dbgItens->setCurrentIndex(itens()->dbgItens->model()->index(1, 0));
    EXPECT_EQ(lastArgs("ExplicaItemRequisicao"), (std::vector<Variant>{Variant(int64_t(11)), "0000000009"}));
    EXPECT_EQ(itens()->cdsExplicacao.RecordCount(), 5);
    itens()->resize(900, 420);
    renderPng(itens(), "TfrmItensRequisicao");

    // Read-only, and Esc closes it.
    EXPECT_EQ(itens()->dbgItens->editTriggers(), QAbstractItemView::NoEditTriggers);
    QPointer<QWidget> janela = itens();
    QTest::keyClick(janela, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(janela.isNull());

    setCurrent(3, 2);
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Return);
    ASSERT_NE(itens(), nullptr);
    EXPECT_EQ(lastArgs("GetProdutosRequisicao"), std::vector<Variant>{Variant(int64_t(13))});
    EXPECT_TRUE(ui.errors().isEmpty());
}

TEST_F(Items, AnEmptyListOpensNothing) {
    rows.clear();
    openOrder();
    QTest::keyClick(order->dbgRequisicoes, Qt::Key_Enter);
    EXPECT_EQ(itens(), nullptr);
    EXPECT_TRUE(server.methods().empty());
}

// With "Todos" the list mixes kitchens: the header says whose requisition it is, and the
// codes read as the company writes them.
TEST_F(Items, TheHeaderNamesTheKitchenAndCodesWearThePicture) {
    rows = {{"N", 10, "", "0001"}, {"N", 11, "", "0002"}};
    openOrder();
    const QString headers[] = {
        "Requisição 10: filial 0001 Cozinha Central, 0001 Almoço, turno Manhã, 07/12/2026, Carnes",
        "Requisição 11: filial 0002 Restaurante Norte, 0001 Almoço, turno Manhã, 07/12/2026, Carnes",
    };
    for (int row = 0; row < 2; ++row) {
        setCurrent(row, 2);
        QTest::keyClick(order->dbgRequisicoes, Qt::Key_Return);
        ASSERT_NE(itens(), nullptr);
        EXPECT_EQ(itens()->lblRequisicao->text(), headers[row]);
        EXPECT_EQ(itens()->dbgItens->model()->index(0, 0).data().toString(), "0.00.000.0007");
        QPointer<QWidget> janela = itens();
        QTest::keyClick(janela, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(getFilialArgs(), std::vector<std::string>{"T"}) << "only another kitchen is looked up";
    EXPECT_TRUE(ui.errors().isEmpty());
}
