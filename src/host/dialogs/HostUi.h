#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QDialog;
class QWidget;
class QPrinter;

namespace krv {
class TClientDataSet;
}

namespace krv::host {

// Modal results, with the platform's values.
enum ModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };
enum class MsgDlgType { Error, Information, Confirmation, Warning };
enum MsgDlgButton { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };  // combined as flags

// The one seam for everything modal and for the busy animation. Production installs the
// Qt implementation; tests install a scripted one that records and answers from a queue.
class HostUi {
public:
    virtual ~HostUi() = default;

    static HostUi& instance();        // the installed implementation
    static void install(HostUi* ui);  // not owned; nullptr restores the Qt implementation

    // A message dialog; returns the modal result of the button pressed.
    virtual int messageDlg(const QString& text, MsgDlgType type, int buttons) = 0;

    // Single-row lookup over the visible fields of `ds`; true when a row was chosen,
    // and the data set is then positioned on it. False at once when `ds` is empty.
    virtual bool pesquisar(TClientDataSet& ds, const QString& title) = 0;

    // Multi-row picker with a mark column. `caption` is "title|text for an empty list".
    // On confirm, `keys` becomes "_k1_k2_…_" of the marked rows' `keyField` ("" for none);
    // on cancel it is left unchanged. Rows whose key is in `keys` start marked. With no row
    // the picker does not open: the empty-list text is shown as information, false returned.
    virtual bool pesquisaLista(TClientDataSet& ds, const QString& keyField, const QString& caption, QString& keys) = 0;

    // Find dialog over a data set: positions it on the row found.
    virtual void procura(TClientDataSet& ds) = 0;

    // File, print and text dialogs used by the report screens. Empty/false = cancelled.
    // A save dialog proposes `proposedName` and answers a path ending in the chosen filter's
    // extension.
    virtual QString saveFileName(const QString& title, const QString& filter, const QString& proposedName) = 0;
    virtual bool printDialog(QPrinter& printer) = 0;
    virtual bool printerSetup(QPrinter& printer) = 0;
    virtual bool inputText(const QString& title, const QString& prompt, QString& value) = 0;
    // A report's preview window, with page navigation, zoom and printing: `paint` draws
    // every page on the printer it is given, whenever the window needs them.
    virtual void previewReport(QPrinter& printer, const QString& title,
                               const std::function<void(QPrinter&)>& paint) = 0;

    // A screen's own modal dialog, shown until the user closes it; returns its result
    // (QDialog::Accepted or Rejected).
    virtual int execDialog(QDialog& dialog) = 0;

    // A line in the main window's status bar: what a finished action wrote, where the
    // action shows no message of its own.
    virtual void showStatus(const QString& text) = 0;

    // Busy indicator: called with true when the nesting count leaves 0, false when it returns to 0.
    virtual void showBusy(bool on) = 0;
};

// Busy animation with a nesting counter (wait cursor and an "Aguarde…" overlay while > 0).
void ActiveShowAvi(QWidget* form, int kind);
void DeactiveShowAvi();
int BusyDepth();

// Runs `fn` with the busy animation on; the animation goes off also when fn throws.
template <class F>
auto WithBusy(F&& fn) -> decltype(fn()) {
    struct Off {
        ~Off() { DeactiveShowAvi(); }
    };
    ActiveShowAvi(nullptr, 1);
    Off off;
    return fn();
}

}  // namespace krv::host
