#include "host/screens/FrmDadosGerRel.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrinter>
#include <initializer_list>
#include <map>
#include <memory>

#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/dialogs/SaveFiles.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/report/ReportRows.h"
#include "host/screens/Consiste.h"
#include "host/session/Application.h"
#include "host/session/Session.h"
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

// One printer per report code for the whole session, so settings chosen for a report are
// there at its next print, also from another screen instance.
QPrinter& printerFor(const ReportDefinition& definition) {
    static std::map<QString, std::unique_ptr<QPrinter>> printers;
    std::unique_ptr<QPrinter>& printer = printers[definition.code];
    if (!printer) {
        printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
        printer->setPageLayout(DefaultPageLayout(definition));
    }
    return *printer;
}

}  // namespace

TfrmDadosGerRel::TfrmDadosGerRel(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::TfrmDadosGerRel>()) {
    ui_->setupUi(this);
    netRelatorio.ServerName = kReportServer;
    netRelatorio.BeforeConnect = [](TNetConnection& c) {
        c.Host = WebURL();
        c.Port = WebPort();
        c.Token = CurrentSession().token;
    };
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
    struct Action {
        QToolButton* button;
        Handler handler;
        QKeySequence key;
    };
    const Action actions[] = {
        {sbtPrint, &TfrmDadosGerRel::sbtPrintClick, Qt::CTRL | Qt::Key_P},
        {sbtPreview, &TfrmDadosGerRel::sbtPreviewClick, Qt::Key_F8},
        {sbtSalvarComo, &TfrmDadosGerRel::sbtSalvarComoClick, Qt::Key_F12},
        {sbtConfigImpr, &TfrmDadosGerRel::sbtConfigImprClick, Qt::CTRL | Qt::SHIFT | Qt::Key_P},
        {sbtReportEdit, &TfrmDadosGerRel::sbtReportEditClick, Qt::Key_F11},
    };
    for (const auto& [button, handler, key] : actions) {
        connect(button, &QToolButton::clicked, this,
                [this, button = button, handler = handler] { Guard([&] { (this->*handler)(button); }); });
        SetShortcut(button, key, this);
    }
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

void TfrmDadosGerRel::FormCreate() {
    // The base screen needs no preparation yet; derived screens call it first, so whatever
    // it gains later runs before their own steps.
}

void TfrmDadosGerRel::FormClose(QObject* /*Sender*/, int& /*Action*/) {}

void TfrmDadosGerRel::sbtPrintClick(QObject*) { PrintReport(); }

bool TfrmDadosGerRel::PrintReport() {
    ReportData data = FetchReport();
    QPrinter& printer = ReportPrinter();
    if (!HostUi::instance().printDialog(printer)) return false;
    PrintTo(printer, data);
    return true;
}

void TfrmDadosGerRel::sbtPreviewClick(QObject*) {
    ReportData data = FetchReport();
    // The preview calls back for every repaint and for printing from its window; a failure
    // there cannot end an action that is no longer running, so it is shown and the page left.
    HostUi::instance().previewReport(ReportPrinter(), rpddPadrao.Title(),
                                     [this, &data](QPrinter& printer) { Guard([&] { PrintTo(printer, data); }); });
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject*) { SaveReportAs(); }

bool TfrmDadosGerRel::SaveReportAs() {
    ReportData data = FetchReport();
    const QString path =
        HostUi::instance().saveFileName(QString::fromUtf8("Salvar relatório como"),
                                        QString::fromUtf8("PDF (*.pdf);;CSV (*.csv)"), ProposedFileName(data.params));
    if (path.isEmpty()) return false;
    const QString kind = QFileInfo(path).suffix().toLower();
    try {
        if (kind == "pdf")
            WriteReportPdf(Layout(data, ReportPrinter().pageLayout()), ReportPrinter().pageLayout(), path);
        else if (kind == "csv")
            WriteReportCsv(rpddPadrao.Definition(), data.params, data.rows, path);
        else
            MensErro(QString::fromUtf8("Informe um arquivo terminado em .pdf ou .csv."), true);
    } catch (const std::runtime_error& e) {
        MensErro(QString::fromUtf8(e.what()), true);
    }
    ShowSaved(path);
    return true;
}

// The report's code, then the branch and the period its query was asked for.
QString TfrmDadosGerRel::ProposedFileName(TParams& params) const {
    QStringList parts{lblCodRel->text()};
    const auto param = [&](const char* name) -> QString {
        const TParam* p = params.FindParam(name);
        if (!p || p->Value().isNull()) return {};
        if (p->Value().type() == Variant::Type::DateTime) return QString::fromStdString(p->Value().asDateTime().toBr());
        return QString::fromStdString(p->Value().asString());
    };
    parts << param("P_CDFILIAL") << param("P_DATAINI");
    if (!param("P_DATAFIN").isEmpty()) parts << "a" << param("P_DATAFIN");
    return FileNameOf(parts);
}

void TfrmDadosGerRel::sbtConfigImprClick(QObject*) {
    LoadReportDefinition();
    HostUi::instance().printerSetup(ReportPrinter());
}

// The title is written into the definition, so every later print, here or elsewhere, has it.
void TfrmDadosGerRel::sbtReportEditClick(QObject*) {
    LoadReportDefinition();
    QString title = rpddPadrao.Title();
    if (!HostUi::instance().inputText(msgPadrao.Msg("NovoCaption"), msgPadrao.Msg("NovoPrompt"), title)) return;
    if (title.trimmed().isEmpty() || title == rpddPadrao.Title()) return;
    try {
        ReportDefinition::SaveTitle(rpddPadrao.DefinitionPath(), title.trimmed());
    } catch (const std::runtime_error& e) {
        MensErro(QString::fromUtf8(e.what()), true);
    }
    rpddPadrao.LoadDefinition();
}

QPrinter& TfrmDadosGerRel::ReportPrinter() { return printerFor(rpddPadrao.Definition()); }

void TfrmDadosGerRel::LoadReportDefinition() {
    rpddPadrao.ReportCode = lblCodRel->text().trimmed();
    bool found = false;
    try {
        found = rpddPadrao.LoadDefinition();
    } catch (const std::runtime_error& e) {
        MensErro(QString::fromUtf8(e.what()), true);
    }
    if (!found)
        MensErro(withValues(msgPadrao.Msg("Arq_Rel_Err"),
                            {rpddPadrao.ReportCode, QDir::toNativeSeparators(TReportDesigner::ReportsDir())}),
                 true);
}

TParams TfrmDadosGerRel::PrepareQueryParams() {
    LoadReportDefinition();
    return rpddPadrao.QueryParams();
}

TfrmDadosGerRel::ReportData TfrmDadosGerRel::FetchReport() {
    ReportData data;
    data.params = PrepareQueryParams();
    data.rows = WithBusy([&] { return GetReportRows(netRelatorio, rpddPadrao.ReportCode, data.params); });
    return data;
}

ReportDocument TfrmDadosGerRel::Layout(ReportData& data, const QPageLayout& page) const {
    return LayoutReport(rpddPadrao.Definition(), data.params, data.rows, page,
                        {QDateTime::currentDateTime(), Operador()});
}

void TfrmDadosGerRel::PrintTo(QPrinter& printer, ReportData& data) {
    const ReportDocument document = Layout(data, printer.pageLayout());
    printer.setDocName(document.title);
    QPainter painter;
    if (!painter.begin(&printer))
        MensErro(
            QString::fromUtf8("Não foi possível iniciar a impressão na impressora '%1'.").arg(printer.printerName()),
            true);
    // The printer dialog may have limited the pages to print.
    const bool range = printer.printRange() == QPrinter::PageRange;
    PaintReport(document, printer, painter, range ? printer.fromPage() : 0, range ? printer.toPage() : 0);
    painter.end();
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
