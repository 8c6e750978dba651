#pragma once
#include <QDialog>

#include "core/DataPacket.h"
#include "ui_TfrmPreviaPedidos.h"

namespace krv::ordergen {

// The orders a generation would make, shown before any is written: one branch of the tree
// per order, one leaf per product with what is needed, what is ordered and the surplus.
// "Cancelar" is the default button, so a hurried Enter writes nothing; Enter on a button
// with the focus presses that button, as its focus ring promises. The controls come from
// TfrmPreviaPedidos.ui; the rows are the server's preview packet.
class TfrmPreviaPedidos : public QDialog, public Ui::TfrmPreviaPedidos {
    Q_OBJECT
public:
    TfrmPreviaPedidos(const DataPacket& previa, QWidget* parent = nullptr);

    int Pedidos() const { return pedidos; }
    int Itens() const { return itens; }

private:
    void preencheArvore(const DataPacket& previa);

    int pedidos = 0;
    int itens = 0;
};

}  // namespace krv::ordergen
