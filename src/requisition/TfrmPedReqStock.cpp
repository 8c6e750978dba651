// "Saldo da Filial" (Ctrl+E): the screen's branch's stock on a day, and its counts.
#include <QStyle>

#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/session/Session.h"
#include "requisition/TfrmPedReq.h"
#include "requisition/TfrmSaldoFilial.h"

namespace krv::requisition {

using namespace krv::host;

void TfrmPedReq::connectStock() {
    sbtSaldoFilial = new TButtonFlat(this);
    sbtSaldoFilial->setObjectName("sbtSaldoFilial");
    sbtSaldoFilial->setToolTip(QString::fromUtf8("Saldo da Filial"));
    sbtSaldoFilial->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    sbtSaldoFilial->setText(QString::fromUtf8("Saldo"));
    sbtSaldoFilial->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    AddToolButton(sbtSaldoFilial);
    SetShortcut(sbtSaldoFilial, QKeySequence(Qt::CTRL | Qt::Key_E), this);
    ConnectGuarded(sbtSaldoFilial, &QAbstractButton::clicked, this,
                   [this](bool) { sbtSaldoFilialClick(sbtSaldoFilial); });
}

void TfrmPedReq::sbtSaldoFilialClick(QObject*) {
    VdFilial(true);
    const QString filial = medCdFilial->text();
    TfrmSaldoFilial janela(netPedReq, filial, DataProcDate(filial), this);
    HostUi::instance().execDialog(janela);
}

}  // namespace krv::requisition
