#pragma once
#include <QDialog>

#include "ordergen/PreviaModel.h"
#include "ui_TfrmPreviaPedidos.h"

namespace krv::ordergen {

// The orders a generation would make, shown before any is written: one branch of the tree
// per order, one leaf per product with what is needed, what comes from stock, what is ordered
// and the surplus; a word on the requisitions whose rest cannot be carried.
// "Cancelar" is the default button, so a hurried Enter writes nothing; Enter on a button
// with the focus presses that button, as its focus ring promises. The controls come from
// TfrmPreviaPedidos.ui; the rows are the server's preview packet, shown through PreviaModel.
class TfrmPreviaPedidos : public QDialog, public Ui::TfrmPreviaPedidos {
    Q_OBJECT
public:
    // `previa` holds the server's preview packet.
    TfrmPreviaPedidos(Variant previa, QWidget* parent = nullptr);

    int Pedidos() const { return modelo.Pedidos(); }
    int Itens() const { return modelo.Itens(); }

private:
    void mostraArvore();

    PreviaModel modelo;
};

}  // namespace krv::ordergen
