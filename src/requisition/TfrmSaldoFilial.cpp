#include "requisition/TfrmSaldoFilial.h"

#include "core/NumberText.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/Access.h"
#include "host/session/NetConnection.h"
#include "host/session/RoleActions.h"
#include "host/session/Session.h"

namespace krv::requisition {

using namespace krv::host;

TfrmSaldoFilial::TfrmSaldoFilial(TNetConnection& net, const QString& filial, QDate data, QWidget* parent)
    : QDialog(parent), net(net), filial(filial) {
    setupUi(this);
    lblFilial->setText(lblFilial->text().arg(filial));
    grade = std::make_unique<QuantityGrid>(
        *dbgSaldo,
        std::vector<QuantityGrid::Column>{
            {"CDPRODUTO", QString::fromUtf8("Produto"), QuantityGrid::Kind::Product},
            {"NMPRODUTO", QString::fromUtf8("Descrição")},
            {"SGUNIDADE", QString::fromUtf8("Unid.")},
            {"NRDIASVALIDADE", QString::fromUtf8("Validade (dias)"), QuantityGrid::Kind::Integer},
            {"QTCONTAGEM", QString::fromUtf8("Última contagem"), QuantityGrid::Kind::Quantity},
            {"DTCONTAGEM", QString::fromUtf8("Contada em"), QuantityGrid::Kind::Date},
            {"QTSALDO", QString::fromUtf8("Previsto no dia"), QuantityGrid::Kind::Quantity}},
        QString::fromUtf8("Contagem"));
    depData->setDate(data);
    getSaldo();
    GuardRoleActions(this);
    ConnectGuarded(depData, &QDateEdit::dateChanged, this, [this](QDate) { getSaldo(); });
    ConnectGuarded(btnGravar, &QAbstractButton::clicked, this, [this](bool) { btnGravarClick(); });
    connect(btnFechar, &QAbstractButton::clicked, this, &QDialog::reject);
}

TfrmSaldoFilial::~TfrmSaldoFilial() = default;

void TfrmSaldoFilial::getSaldo() {
    const QDate dia = depData->date();
    const Variant saldo = WithBusy([&] { return CheckResultServ(net.Call("GetSaldoFilial", {filial, dia}), true, 0); });
    grade->Fill(saldo.packet(), nullptr);
}

void TfrmSaldoFilial::btnGravarClick() {
    const std::vector<QuantityGrid::Typed> contadas = grade->Changed("NMPRODUTO");
    if (contadas.empty()) MensErroEm(dbgSaldo, QString::fromUtf8("Digite a contagem de algum produto para gravar."));
    const DataPacket& saldo = grade->Packet();
    const int produto = saldo.fieldIndex("CDPRODUTO");
    const Variant dia = ToVariant(depData->date());
    DataPacket contagens{{{"CDPRODUTO", FieldType::String, 10},
                          {"DTCONTAGEM", FieldType::DateTime, 0},
                          {"QTESTOQUE", FieldType::Float, 0}},
                         {}};
    for (const QuantityGrid::Typed& contada : contadas)
        contagens.rows.push_back({saldo.rows[contada.row][size_t(produto)], dia, Variant(contada.quantity)});
    WithBusy([&] {
        CheckResultServ(net.Call("GravaContagemEstoque", {filial, Variant(std::move(contagens)), Operador()}), true, 0);
    });
    getSaldo();
    HostUi::instance().showStatus(
        QString::fromStdString(countedText(int64_t(contadas.size()), "contagem gravada", "contagens gravadas")));
}

}  // namespace krv::requisition
