// The preview's tree over the server's packet: orders as branches, products as leaves, an
// order without lines among others, texts as the user reads them.
#include <gtest/gtest.h>

#include "host/session/Session.h"
#include "ordergen/PreviaModel.h"

using namespace krv;
using krv::ordergen::PreviaModel;

namespace {

// `comSaldo`: with what came from stock and the count of rounded requisitions, as the
// netting server sends; without, as an older one did.
DataPacket Previa(bool comSaldo) {
    DataPacket packet;
    for (const char* name : {"NRSEQPEDIDO", "CDFILIOPELOG", "NMFILIOPELOG", "DTPEDIDO", "CDFILIAL", "CDSERVFILI",
                             "CDTURNO", "CDPRODUTO", "NMPRODUTO", "SGUNIDADE", "QTNECESSARIA", "QTPEDIDO",
                             "QTEMBALAGEM", "QTEMBALAGENS", "QTSOBRA", "QTSALDO", "QTREQARRED"})
        packet.fields.push_back({name, FieldType::String, 60});
    if (!comSaldo) packet.fields.resize(15);
    const DateTime day = DateTime::fromDate(2026, 12, 7);
    const auto line = [&](int64_t order, const Variant& shift, const char* product, double packages) {
        packet.rows.push_back({order, "0009", "Operador", day, "0001", "0002", shift, product, "Arroz", "KG", 4.92,
                               15.0, 15.0, packages, 10.08, 2.5, int64_t(4)});
        packet.rows.back().resize(packet.fields.size());
    };
    line(1, "1", "0101000001", 1.0);
    line(1, "1", "0101000002", 1.5);
    // An order whose requisitions have no items: its one row names no product.
    packet.rows.push_back({int64_t(2), "0009", "Operador", day, "0001", "0003", Variant(), Variant(), Variant(),
                           Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), int64_t(4)});
    packet.rows.back().resize(packet.fields.size());
    line(3, Variant(), "0101000003", 2.0);
    return packet;
}

}  // namespace

TEST(PreviaModel, OrdersAreBranchesAndTheirProductsLeaves) {
    host::SetSession({});  // no server, so no picture: codes as stored, whatever ran before
    const PreviaModel model{Variant(Previa(true))};
    EXPECT_EQ(model.RequisicoesArredondadas(), 4);
    EXPECT_EQ(model.Pedidos(), 3);
    EXPECT_EQ(model.Itens(), 3);
    ASSERT_EQ(model.rowCount(), 3);
    const struct {
        int order;
        const char* header;
        std::vector<std::vector<const char*>> lines;
    } orders[] = {
        {0,
         "Pedido 1: 0009 Operador, 07/12/2026, filial 0001, serviço 0002, turno 1",
         {{"0101000001 Arroz", "KG", "4,920", "2,500", "15,000", "10,080", "15,000", "1"},
          {"0101000002 Arroz", "KG", "4,920", "2,500", "15,000", "10,080", "15,000", "1,500"}}},
        {1, "Pedido 2: 0009 Operador, 07/12/2026, filial 0001, serviço 0003", {}},
        {2,
         "Pedido 3: 0009 Operador, 07/12/2026, filial 0001, serviço 0002",
         {{"0101000003 Arroz", "KG", "4,920", "2,500", "15,000", "10,080", "15,000", "2"}}},
    };
    for (const auto& o : orders) {
        SCOPED_TRACE(o.header);
        const QModelIndex order = model.index(o.order, 0);
        EXPECT_EQ(model.data(order).toString(), QString::fromUtf8(o.header));
        EXPECT_FALSE(model.data(model.index(o.order, 1)).isValid()) << "the header spans the row";
        EXPECT_FALSE(model.parent(order).isValid());
        ASSERT_EQ(model.rowCount(order), int(o.lines.size()));
        for (int r = 0; r < int(o.lines.size()); ++r)
            for (int c = 0; c < PreviaModel::cColunas; ++c) {
                const QModelIndex cell = model.index(r, c, order);
                EXPECT_EQ(model.data(cell).toString(), QString::fromUtf8(o.lines[size_t(r)][size_t(c)])) << r << c;
                EXPECT_EQ(model.parent(cell), order);
                EXPECT_EQ(model.rowCount(cell), 0);
                EXPECT_EQ(model.data(cell, Qt::TextAlignmentRole).isValid(), c >= PreviaModel::cNecessario);
            }
        EXPECT_FALSE(model.index(int(o.lines.size()), 0, order).isValid()) << "one past the last line";
    }
    EXPECT_FALSE(model.index(3, 0).isValid()) << "one past the last order";
    // The column titles, the last one and one past it.
    EXPECT_EQ(model.headerData(PreviaModel::cProduto, Qt::Horizontal).toString(), "Pedido / Produto");
    EXPECT_EQ(model.headerData(PreviaModel::cEmbalagens, Qt::Horizontal).toString(), "Embalagens");
    EXPECT_FALSE(model.headerData(PreviaModel::cColunas, Qt::Horizontal).isValid());
    EXPECT_FALSE(model.headerData(PreviaModel::cProduto, Qt::Vertical).isValid());
}

// An older server's packet has neither what came from stock nor the rounded requisitions:
// the column reads empty and none were rounded.
TEST(PreviaModel, APacketWithoutStockReadsEmptyAndNoneRounded) {
    const PreviaModel model{Variant(Previa(false))};
    EXPECT_EQ(model.RequisicoesArredondadas(), 0);
    const QModelIndex order = model.index(0, 0);
    EXPECT_EQ(model.data(model.index(0, PreviaModel::cSaldo, order)).toString(), "");
    EXPECT_EQ(model.data(model.index(0, PreviaModel::cPedido, order)).toString(), "15,000");
    EXPECT_EQ(PreviaModel{Variant(DataPacket{})}.RequisicoesArredondadas(), 0) << "no row at all";
}
