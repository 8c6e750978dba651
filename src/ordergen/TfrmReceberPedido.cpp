#include "ordergen/TfrmReceberPedido.h"

#include "core/NumberText.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/NetConnection.h"
#include "host/session/Session.h"

namespace krv::ordergen {

using namespace krv::host;
using requisition::QuantityGrid;

namespace {

// The single count a receipt answers with: orders received, or lines with their own quantity.
int64_t Quantos(const Variant& resposta) {
    return resposta.type() == Variant::Type::Array && !resposta.array().empty() ? resposta.array().front().asInt() : 0;
}

}  // namespace

TfrmReceberPedido::TfrmReceberPedido(TNetConnection& net, int64_t pedido, const QString& descricao, DataPacket linhas,
                                     QDate data, QWidget* parent)
    : QDialog(parent), net(net), pedido(pedido) {
    setupUi(this);
    grade = std::make_unique<QuantityGrid>(
        *dbgLinhas,
        std::vector<QuantityGrid::Column>{{"CDPRODUTO", QString::fromUtf8("Produto"), QuantityGrid::Kind::Product},
                                          {"NMPRODUTO", QString::fromUtf8("Descrição")},
                                          {"SGUNIDADE", QString::fromUtf8("Unid.")},
                                          {"QTPEDIDO", QString::fromUtf8("Pedido"), QuantityGrid::Kind::Quantity}},
        QString::fromUtf8("Recebido"));
    lblPedido->setText(lblPedido->text().arg(pedido).arg(descricao));
    depDtRecebimento->setDate(data);
    grade->Fill(std::move(linhas), "QTPEDIDO");
    ConnectGuarded(btnReceber, &QAbstractButton::clicked, this, [this](bool) { btnReceberClick(); });
    connect(btnCancelar, &QAbstractButton::clicked, this, &QDialog::reject);
}

void TfrmReceberPedido::btnReceberClick() {
    const std::vector<QuantityGrid::Typed> alteradas = grade->Changed("NMPRODUTO");
    if (alteradas.empty())
        recebePedido();
    else
        recebeLinhas(alteradas);
    accept();
}

void TfrmReceberPedido::recebePedido() {
    const QDate dia = depDtRecebimento->date();
    WithBusy([&] {
        CheckResultServ(net.Call("RecebePedidos", {"_" + QString::number(pedido) + "_", dia, Operador()}), true, 0);
    });
    recebido = QString::fromUtf8("Pedido %1 recebido em %2, como pedido.").arg(pedido).arg(dia.toString("dd/MM/yyyy"));
}

// The server stores a receipt of changed lines on its own day: another day chosen here
// would be silently dropped, so it is refused instead.
void TfrmReceberPedido::recebeLinhas(const std::vector<QuantityGrid::Typed>& alteradas) {
    if (depDtRecebimento->date() != QDate::currentDate())
        MensErroEm(depDtRecebimento, QString::fromUtf8("Quantidades alteradas são recebidas com a data de hoje (%1).")
                                         .arg(QDate::currentDate().toString("dd/MM/yyyy")));
    const DataPacket& linhas = grade->Packet();
    const int produto = linhas.fieldIndex("CDPRODUTO");
    DataPacket recebidas{{{"CDPRODUTO", FieldType::String, 10}, {"QTRECEBIDA", FieldType::Float, 0}}, {}};
    for (const QuantityGrid::Typed& linha : alteradas)
        recebidas.rows.push_back({linhas.rows[linha.row][size_t(produto)], Variant(linha.quantity)});
    const Variant resposta = WithBusy([&] {
        return CheckResultServ(net.Call("RecebeItensPedido", {pedido, Variant(std::move(recebidas)), Operador()}), true,
                               0);
    });
    recebido = QString::fromUtf8("Pedido %1 recebido hoje: %2 com a quantidade alterada, as demais como pedidas.")
                   .arg(pedido)
                   .arg(QString::fromStdString(countedText(Quantos(resposta), "linha", "linhas")));
}

}  // namespace krv::ordergen
