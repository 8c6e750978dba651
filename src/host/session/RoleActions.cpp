#include "host/session/RoleActions.h"

#include <QAbstractButton>
#include <QEvent>
#include <QWidget>
#include <cstring>

#include "host/session/Access.h"

namespace krv::host {

namespace {

struct ControlAction {
    const char* screen;  // class name
    const char* control;
    const char* action;  // as the server words it
};

constexpr const char* kPedReq = "krv::requisition::TfrmPedReq";
constexpr const char* kGerarPedReq = "krv::ordergen::TfrmGerarPedReq";
constexpr const char* kPedidos = "krv::ordergen::TfrmPedidos";
constexpr const char* kSaldoFilial = "krv::requisition::TfrmSaldoFilial";

constexpr ControlAction kActions[] = {
    {kPedReq, "sbtCalcReq", kCalcularRequisicoes},
    {kPedReq, "sbtGerarPedido", kSelecionarParaPedidos},
    {kPedReq, "sbtCalcPrevCons", kCalcularPrevisao},
    {kPedReq, "sbtVerPrevisao", kConsultarPrevisao},
    {kPedReq, "sbtCalcReqFiliais", kCalcularFiliais},
    {kPedReq, "sbtPedidos", kConsultarPedidos},
    {kPedReq, "sbtPrint", kConsultarRequisicoes},
    {kPedReq, "sbtPreview", kConsultarRequisicoes},
    {kPedReq, "sbtSalvarComo", kConsultarRequisicoes},
    {kGerarPedReq, "sbtConfirma", kGerarPedidos},
    {kGerarPedReq, "sbtCancelaPedido", kCancelarPedidos},
    {kGerarPedReq, "sbtMarcaTodas", kSelecionarParaPedidos},
    {kGerarPedReq, "sbtProcurar", kSelecionarParaPedidos},
    {kGerarPedReq, "sbtPedidos", kConsultarPedidos},
    {kGerarPedReq, "sbtAtualizar", kSelecionarParaPedidos},
    {kPedidos, "sbtAtualizar", kConsultarPedidos},
    {kPedidos, "sbtExplicar", kConsultarRequisicoes},
    {kPedidos, "sbtMarcarEnviados", kMarcarEnviados},
    {kPedidos, "sbtCancelarPedidos", kCancelarPedidos},
    {kPedidos, "sbtPrint", kConsultarPedidos},
    {kPedidos, "sbtPreview", kConsultarPedidos},
    {kPedidos, "sbtSalvarComo", kConsultarPedidos},
    {kPedidos, "chbSeparacao", kEmitirSeparacao},
    {kPedidos, "sbtReceber", kReceberPedidos},
    {kPedidos, "sbtExplicarLinha", kConsultarPedidos},
    {kSaldoFilial, "btnGravar", kRegistrarContagens},
};

// Turns the control off again whenever anything turns it on.
class Refused : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange) {
            auto* control = static_cast<QWidget*>(watched);
            if (control->isEnabled()) control->setEnabled(false);
        }
        return false;
    }
};

}  // namespace

void GuardRoleActions(QWidget* screen) {
    const char* name = screen->metaObject()->className();
    for (const ControlAction& row : kActions) {
        if (std::strcmp(row.screen, name) != 0) continue;
        const QString refusal = Refusal(QString::fromUtf8(row.action));
        if (refusal.isEmpty()) continue;
        QWidget* control = screen->findChild<QWidget*>(row.control);
        if (!control) continue;
        control->setEnabled(false);
        control->setToolTip(refusal);
        control->installEventFilter(new Refused(control));
    }
}

}  // namespace krv::host
