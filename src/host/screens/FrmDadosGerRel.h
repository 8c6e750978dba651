#pragma once
#include <QWidget>
#include <memory>

#include "host/screens/Messages.h"
#include "host/screens/ReportDesigner.h"

class QAbstractButton;
class QLabel;
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

protected:
    void closeEvent(QCloseEvent* event) override;
    // What every report action does until the report engine arrives: load the definition of
    // lblCodRel's report and build its query parameters.
    TParams PrepareQueryParams();

private:
    std::unique_ptr<Ui::TfrmDadosGerRel> ui_;
};

}  // namespace krv::host
