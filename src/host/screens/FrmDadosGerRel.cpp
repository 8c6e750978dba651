#include "host/screens/FrmDadosGerRel.h"

#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <initializer_list>

#include "host/screens/Consiste.h"
#include "host/screens/EventHelpers.h"
#include "host/session/Application.h"
#include "ui_FrmDadosGerRel.h"

namespace krv::host {

namespace {

// Fills the "%s" places of a message-table text in order.
QString withValues(QString text, std::initializer_list<QString> values) {
    for (const QString& value : values) {
        const qsizetype at = text.indexOf("%s");
        if (at < 0) break;
        text.replace(at, 2, value);
    }
    return text;
}

}  // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TfrmDadosGerRel>()) {
    ui_->setupUi(this);
    lblCodTela = ui_->lblCodTela;
    lblCodRel = ui_->lblCodRel;
    sbtPrint = ui_->sbtPrint;
    sbtPreview = ui_->sbtPreview;
    sbtSalvarComo = ui_->sbtSalvarComo;
    sbtConfigImpr = ui_->sbtConfigImpr;
    sbtReportEdit = ui_->sbtReportEdit;

    msgPadrao.Messages = {
        QString::fromUtf8("Arq_Rel_Err|O arquivo contendo a definição do relatório de código '%s' não foi "
                          "encontrado no diretório '%s'."),
        QString::fromUtf8("NovoCaption|Título do relatório"),
        QString::fromUtf8("NovoPrompt|Informe o título do relatório:"),
        QString::fromUtf8("VD_TRAD|Validando tradução de relatórios"),
    };

    using Handler = void (TfrmDadosGerRel::*)(QObject*);
    const std::pair<QToolButton*, Handler> actions[] = {
        {sbtPrint, &TfrmDadosGerRel::sbtPrintClick},           {sbtPreview, &TfrmDadosGerRel::sbtPreviewClick},
        {sbtSalvarComo, &TfrmDadosGerRel::sbtSalvarComoClick}, {sbtConfigImpr, &TfrmDadosGerRel::sbtConfigImprClick},
        {sbtReportEdit, &TfrmDadosGerRel::sbtReportEditClick},
    };
    for (const auto& [button, handler] : actions)
        connect(button, &QToolButton::clicked, this,
                [this, button = button, handler = handler] { Guard([&] { (this->*handler)(button); }); });
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::FormCreate() {
    // The base screen needs no preparation yet; derived screens call it first, so whatever
    // it gains later runs before their own steps.
}

void TfrmDadosGerRel::FormClose(QObject* /*Sender*/, int& /*Action*/) {}

// Until the report engine arrives, every report action stops once the query parameters are
// built: that is where the screen's BeforeGetQueryParams does its work.
void TfrmDadosGerRel::sbtPrintClick(QObject*) { PrepareQueryParams(); }
void TfrmDadosGerRel::sbtPreviewClick(QObject*) { PrepareQueryParams(); }
void TfrmDadosGerRel::sbtSalvarComoClick(QObject*) { PrepareQueryParams(); }
void TfrmDadosGerRel::sbtConfigImprClick(QObject*) { PrepareQueryParams(); }
void TfrmDadosGerRel::sbtReportEditClick(QObject*) { PrepareQueryParams(); }

TParams TfrmDadosGerRel::PrepareQueryParams() {
    rpddPadrao.ReportCode = lblCodRel->text().trimmed();
    if (!rpddPadrao.LoadDefinition())
        MensErro(withValues(msgPadrao.Msg("Arq_Rel_Err"),
                            {rpddPadrao.ReportCode, QDir::toNativeSeparators(TReportDesigner::ReportsDir())}),
                 true);
    return rpddPadrao.QueryParams();
}

void TfrmDadosGerRel::AddToolButton(QAbstractButton* button) { ui_->panFerramentas->layout()->addWidget(button); }

QWidget* TfrmDadosGerRel::ContentArea() const { return ui_->panDados; }

void TfrmDadosGerRel::closeEvent(QCloseEvent* event) {
    const bool closed = RunScreenClose(
        this, [this](int& action) { FormClose(this, action); },
        [this] {
            if (QMdiSubWindow* frame = SubWindowOf(this)) frame->hide();
        });
    event->setAccepted(closed);
}

}  // namespace krv::host
