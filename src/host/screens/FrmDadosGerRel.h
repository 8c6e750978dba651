#pragma once
#include <QWidget>
#include <memory>

#include "host/report/ReportEngine.h"
#include "host/screens/Messages.h"
#include "host/screens/ReportDesigner.h"
#include "host/session/NetConnection.h"

class QAbstractButton;
class QLabel;
class QPrinter;
class QToolButton;

namespace Ui {
class TfrmDadosGerRel;
}

namespace krv::host {

// Base of the report screens: an MDI child with the screen and report codes, the five report
// tool buttons, room for the screen's own tool buttons, and the report designer component.
// A derived screen lays its own form into ContentArea() (ui.setupUi(ContentArea())), sets
// its caption, codes and messages, and overrides the handlers it extends.
class TfrmDadosGerRel : public QWidget {
    Q_OBJECT
public:
    static constexpr bool MdiChild = true;

    explicit TfrmDadosGerRel(QWidget* parent = nullptr);
    ~TfrmDadosGerRel() override;

    // Creation event, run by TApplication::CreateForm once the form exists.
    virtual void FormCreate();
    // Close event; Action starts as caHide (the screen survives). caNone keeps it open,
    // caFree deletes it. An exception from it stops the close and is shown.
    virtual void FormClose(QObject* Sender, int& Action);

    virtual void sbtPrintClick(QObject* Sender);
    virtual void sbtPreviewClick(QObject* Sender);
    virtual void sbtSalvarComoClick(QObject* Sender);
    virtual void sbtConfigImprClick(QObject* Sender);
    virtual void sbtReportEditClick(QObject* Sender);

    // Puts a screen's own tool button after the report buttons.
    void AddToolButton(QAbstractButton* button);
    // The empty area (no layout) where the derived screen's form goes.
    QWidget* ContentArea() const;

    QLabel* lblCodTela = nullptr;
    QLabel* lblCodRel = nullptr;
    QToolButton* sbtPrint = nullptr;
    QToolButton* sbtPreview = nullptr;
    QToolButton* sbtSalvarComo = nullptr;
    QToolButton* sbtConfigImpr = nullptr;
    QToolButton* sbtReportEdit = nullptr;
    TMessages msgPadrao;
    TReportDesigner rpddPadrao;
    // The server object that holds the reports' queries; its endpoint follows the session.
    TNetConnection netRelatorio;

    // The printer of this screen's report: its page and printer settings last for the
    // session, from one print to the next.
    QPrinter& ReportPrinter();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Loads the definition of lblCodRel's report; a missing one is reported with the code
    // and the folder (Arq_Rel_Err) and ends the action.
    void LoadReportDefinition();
    // The definition, then its query parameters as BeforeGetQueryParams leaves them.
    TParams PrepareQueryParams();

protected:
    struct ReportData {
        TParams params;
        DataPacket rows;
    };
    // Parameters and rows, asked of the server under the busy animation.
    virtual ReportData FetchReport();
    // The print and save actions; false when the user cancelled the printer or file dialog,
    // so nothing was printed or written.
    bool PrintReport();
    bool SaveReportAs();

private:
    QString ProposedFileName(TParams& params) const;
    ReportDocument Layout(ReportData& data, const QPageLayout& page) const;
    // Paints the report on an open printer; a printer that cannot start is an error.
    void PrintTo(QPrinter& printer, ReportData& data);

private:
    std::unique_ptr<Ui::TfrmDadosGerRel> ui_;
};

}  // namespace krv::host
