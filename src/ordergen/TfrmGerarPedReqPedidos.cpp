// The orders window from the order-generation screen: its period and branches, the orders of
// the last generation selected; and the list read again after what the window changed, or on F5.
#include <QStyle>

#include "host/controls/ToolButtons.h"
#include "host/events/EventHelpers.h"
#include "ordergen/PedidosGerados.h"
#include "ordergen/TfrmGerarPedReq.h"
#include "ordergen/TfrmPedidos.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

void TfrmGerarPedReq::connectPedidos() {
    struct Botao {
        const char* nome;
        const char* texto;
        const char* dica;
        QStyle::StandardPixmap icone;
        Qt::Key tecla;
        void (TfrmGerarPedReq::*acao)();
    };
    const Botao botoes[] = {
        {"sbtPedidos", "Pedidos", "Pedidos Gerados", QStyle::SP_FileDialogDetailedView, Qt::Key_F9,
         &TfrmGerarPedReq::abrePedidos},
        {"sbtAtualizar", "Atualizar", "Ler as requisições de novo", QStyle::SP_BrowserReload, Qt::Key_F5,
         &TfrmGerarPedReq::sbtAtualizarClick},
    };
    for (const Botao& b : botoes) {
        auto* botao = new TButtonFlat(this);
        botao->setObjectName(b.nome);
        botao->setText(QString::fromUtf8(b.texto));
        botao->setToolTip(QString::fromUtf8(b.dica));
        botao->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        botao->setIconSize(QSize(24, 24));
        botao->setIcon(style()->standardIcon(b.icone));
        AddMenuButton(botao);
        SetShortcut(botao, b.tecla, this);
        ConnectGuarded(botao, &QAbstractButton::clicked, this, [this, acao = b.acao](bool) { (this->*acao)(); });
    }
}

void TfrmGerarPedReq::sbtAtualizarClick() { getRequisicoes(); }

void TfrmGerarPedReq::abrePedidos() {
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    TfrmPedidos* janela = TfrmPedidos::Abre(pedReq.netPedReq, filialDosPedidos(), pedReq.depDataInic->GetDate(),
                                            pedReq.depDataFina->GetDate(), this, primeiroGerado, ultimoGerado);
    connect(janela, &TfrmPedidos::pedidosAlterados, this, [this] { Guard([&] { getRequisicoes(); }); });
}

void TfrmGerarPedReq::lembraGeracao() {
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    LembraGeracao(&pedReq, pedReq.medCdFilial->text(), pedReq.depDataInic->GetDate(), pedReq.depDataFina->GetDate(),
                  filialDosPedidos(), primeiroGerado, ultimoGerado);
}

// Orders are made for the consolidation branch when there is one, else for each listed branch:
// one branch is named, several are all ("T"), and the generation's numbers pick them out.
QString TfrmGerarPedReq::filialDosPedidos() const {
    if (!medCdFilial->text().trimmed().isEmpty()) return medCdFilial->text().trimmed();
    const QStringList filiais = chavesFilial.split('_', Qt::SkipEmptyParts);
    return filiais.size() == 1 ? filiais.front() : QStringLiteral("T");
}

}  // namespace krv::ordergen
