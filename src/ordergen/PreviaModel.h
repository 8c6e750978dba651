#pragma once
#include <QAbstractItemModel>
#include <functional>
#include <vector>

#include "core/DataPacket.h"

namespace krv::ordergen {

// The preview packet as a tree: one branch per order, one leaf per product. Texts are made
// when a row is shown, so a large company's month (a hundred thousand orders, millions of
// lines) costs the packet and an index of where each order starts, not a widget item per line.
class PreviaModel : public QAbstractItemModel {
public:
    enum Coluna { cProduto, cUnidade, cNecessario, cSaldo, cPedido, cSobra, cEmbalagem, cEmbalagens, cColunas };

    // `previa` holds the server's preview packet; the model shares it.
    explicit PreviaModel(Variant previa, QObject* parent = nullptr);

    int Pedidos() const { return int(pedidos_.size()); }
    int Itens() const { return itens_; }
    // How many of the listed requisitions were calculated already in whole packages, whose
    // rest the netting cannot carry; 0 from a server that does not say.
    int RequisicoesArredondadas() const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Pedido {
        size_t cabecalho;  // its first row, which names it
        int itens;         // the rows after it that are its lines
    };
    QString texto(const Row& linha, int coluna) const;

    Variant previa_;
    std::function<QString(const Variant&)> codigo_;  // a product's code as the company writes it
    std::vector<Pedido> pedidos_;
    int itens_ = 0;
};

}  // namespace krv::ordergen
