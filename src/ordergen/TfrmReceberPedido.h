#pragma once
#include <QDate>
#include <QDialog>
#include <QString>
#include <memory>

#include "core/DataPacket.h"
#include "requisition/QuantityGrid.h"
#include "ui_TfrmReceberPedido.h"

namespace krv::host {
class TNetConnection;
}

namespace krv::ordergen {

// "Receber" of "Pedidos Gerados": one order's lines with the quantity received, which starts
// as ordered, and the day of the receipt. With no quantity changed the whole order is
// received as ordered on that day; otherwise the changed lines go with their quantities and
// the others are received as ordered, today. The server is called from here, so a refusal
// keeps what was typed; the window closes once the receipt is stored. The controls come from
// TfrmReceberPedido.ui.
class TfrmReceberPedido : public QDialog, public Ui::TfrmReceberPedido {
    Q_OBJECT
public:
    // `linhas` is the order's packet of lines (GetItensPedido); `descricao` names the order.
    TfrmReceberPedido(host::TNetConnection& net, int64_t pedido, const QString& descricao, DataPacket linhas,
                      QDate data, QWidget* parent = nullptr);

    // What was stored, for the status line; empty until then.
    const QString& Recebido() const { return recebido; }

private:
    void btnReceberClick();
    void recebePedido();
    void recebeLinhas(const std::vector<requisition::QuantityGrid::Typed>& linhas);

    host::TNetConnection& net;
    int64_t pedido;
    std::unique_ptr<requisition::QuantityGrid> grade;
    QString recebido;
};

}  // namespace krv::ordergen
