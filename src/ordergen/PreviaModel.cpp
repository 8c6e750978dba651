#include "ordergen/PreviaModel.h"

#include <QLocale>
#include <cmath>

#include "host/models/Convert.h"
#include "host/session/DBPicture.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

// An order's lines are the rows of its sequence with a product; an order whose requisitions
// have no items has only its header row, with no product.
constexpr size_t kSequencia = 0, kProduto = 7;
// Where each column's value is in the packet, after the product's code and name. What came
// from stock and the count of rounded requisitions came last, so an older server's packet
// lacks them.
constexpr size_t kFonte[] = {8, 9, 10, 15, 11, 14, 12, 13};
constexpr size_t kArredondadas = 16;

const QLocale& Brasil() {
    static const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    return brasil;
}

QString Quantidade(const Variant& value) { return Brasil().toString(value.asDouble(), 'f', 3); }

// Whole packages read as whole numbers.
QString Embalagens(const Variant& value) {
    const double embalagens = value.asDouble();
    return Brasil().toString(embalagens, 'f', embalagens == std::round(embalagens) ? 0 : 3);
}

// "Pedido 1: 0007 CD Logístico Guarulhos, 15/03/2026, filial 0001, serviço 0004, turno 1".
QString Cabecalho(const Row& row) {
    QString text = QString("Pedido %1: %2 %3, %4, filial %5, serviço %6")
                       .arg(ToQString(row[0]), ToQString(row[1]), ToQString(row[2]),
                            ToQString(row[3].asDateTime().toBr()), ToQString(row[4]), ToQString(row[5]));
    if (!row[6].isNull()) text += ", turno " + ToQString(row[6]);
    return text;
}

// An index's internal id: even for an order; for a line, odd with its order's row in the high
// half. The low bits are scattered: Qt hashes an index by row × 16 + column + internal id, and
// with small ids the keys of a large company's month fell on one another in the view's hashes
// of expanded and spanned rows, which took it minutes to open.
static_assert(sizeof(quintptr) == 8, "a line's id holds its order's row in the high half");
quintptr espalha(int row) { return (quintptr(uint32_t(row)) * 0x9E3779B1u) & 0xFFFFFFFEu; }
bool ehPedido(const QModelIndex& index) { return (index.internalId() & 1) == 0; }
quintptr idDoPedido(int row) { return espalha(row); }
quintptr idDaLinha(int pedido) { return (quintptr(pedido) << 32) | espalha(pedido) | 1; }
int pedidoDaLinha(const QModelIndex& linha) { return int(linha.internalId() >> 32); }

}  // namespace

PreviaModel::PreviaModel(Variant previa, QObject* parent)
    : QAbstractItemModel(parent), previa_(std::move(previa)), codigo_(ProductCodeFormat()) {
    const std::vector<Row>& rows = previa_.packet().rows;
    for (size_t r = 0; r < rows.size(); ++r) {
        if (pedidos_.empty() || rows[r][kSequencia] != rows[pedidos_.back().cabecalho][kSequencia])
            pedidos_.push_back({r, 0});
        if (!rows[r][kProduto].isNull()) ++pedidos_.back().itens, ++itens_;
    }
}

QModelIndex PreviaModel::index(int row, int column, const QModelIndex& parent) const {
    if (!hasIndex(row, column, parent)) return {};
    return createIndex(row, column, parent.isValid() ? idDaLinha(parent.row()) : idDoPedido(row));
}

QModelIndex PreviaModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || ehPedido(child)) return {};
    const int pedido = pedidoDaLinha(child);
    return createIndex(pedido, 0, idDoPedido(pedido));
}

int PreviaModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return Pedidos();
    if (!ehPedido(parent) || parent.column() != 0) return 0;
    return pedidos_[size_t(parent.row())].itens;
}

int PreviaModel::RequisicoesArredondadas() const {
    const std::vector<Row>& rows = previa_.packet().rows;
    return rows.empty() || rows.front().size() <= kArredondadas ? 0 : int(rows.front()[kArredondadas].asInt());
}

int PreviaModel::columnCount(const QModelIndex&) const { return cColunas; }

QVariant PreviaModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const std::vector<Row>& rows = previa_.packet().rows;
    if (ehPedido(index)) {
        if (role != Qt::DisplayRole || index.column() != cProduto) return {};
        return Cabecalho(rows[pedidos_[size_t(index.row())].cabecalho]);
    }
    const Pedido& pedido = pedidos_[size_t(pedidoDaLinha(index))];
    // An order with lines has them from its header row on.
    const Row& linha = rows[pedido.cabecalho + size_t(index.row())];
    if (role == Qt::TextAlignmentRole && index.column() >= cNecessario)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole) return {};
    return texto(linha, index.column());
}

QString PreviaModel::texto(const Row& linha, int coluna) const {
    switch (coluna) {
        case cProduto:
            return codigo_(linha[kProduto]) + " " + ToQString(linha[kFonte[cProduto]]);
        case cUnidade:
            return ToQString(linha[kFonte[cUnidade]]);
        case cEmbalagens:
            return Embalagens(linha[kFonte[cEmbalagens]]);
        case cSaldo:
            return linha.size() > kFonte[cSaldo] ? Quantidade(linha[kFonte[cSaldo]]) : QString();
        default:
            return Quantidade(linha[kFonte[coluna]]);
    }
}

QVariant PreviaModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const kTitulos[] = {"Pedido / Produto", "Unid.", "Necessário", "Do estoque",
                                           "Pedido",           "Sobra", "Embalagem",  "Embalagens"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= cColunas) return {};
    return QString::fromUtf8(kTitulos[section]);
}

}  // namespace krv::ordergen
