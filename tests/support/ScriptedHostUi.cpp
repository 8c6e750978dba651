#include "support/ScriptedHostUi.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPrinter>

#include "core/ClientDataSet.h"
#include "host/dialogs/ReportPreviewDialog.h"

namespace krv::test {

namespace {

// Takes the next queued answer, or fails the running test and returns `fallback`.
template <class T>
T next(std::deque<T>& queue, const char* question, const QString& detail, T fallback) {
    if (queue.empty()) {
        ADD_FAILURE() << "ScriptedHostUi: no answer queued for " << question << " \"" << detail.toStdString() << "\"";
        return fallback;
    }
    T answer = std::move(queue.front());
    queue.pop_front();
    return answer;
}

// Writes the next queued text into `out`; false, leaving `out` alone, for a cancel.
bool takeText(std::deque<std::optional<QString>>& queue, const char* question, const QString& detail, QString& out) {
    const std::optional<QString> answer = next(queue, question, detail, std::optional<QString>());
    if (answer) out = *answer;
    return answer.has_value();
}

bool hasMoreThanOneButton(int buttons) { return (buttons & (buttons - 1)) != 0; }

}  // namespace

ScriptedHostUi::ScriptedHostUi() { host::HostUi::install(this); }

ScriptedHostUi::~ScriptedHostUi() { host::HostUi::install(nullptr); }

QStringList ScriptedHostUi::texts(host::MsgDlgType type) const {
    QStringList out;
    for (const Message& m : messages)
        if (m.type == type) out << m.text;
    return out;
}

bool ScriptedHostUi::allAnswersUsed() const {
    return modalResults.empty() && picks.empty() && lists.empty() && finds.empty() && fileNames.empty() &&
           prints.empty() && inputs.empty() && dialogs.empty();
}

int ScriptedHostUi::messageDlg(const QString& text, host::MsgDlgType type, int buttons) {
    messages.push_back({type, text, buttons});
    // A message with one button asks nothing: it answers with that button.
    if (!hasMoreThanOneButton(buttons)) {
        if (buttons == host::mbYes) return host::mrYes;
        if (buttons == host::mbNo) return host::mrNo;
        if (buttons == host::mbCancel) return host::mrCancel;
        return host::mrOk;
    }
    // Unanswered questions take the answer that cancels.
    const int cancel = (buttons & host::mbNo) ? host::mrNo : host::mrCancel;
    return next(modalResults, "messageDlg", text, cancel);
}

bool ScriptedHostUi::pesquisar(TClientDataSet& ds, const QString& title) {
    if (ds.IsEmpty())  // like the real one: nothing to pick, nothing shown
        return false;
    pickersShown.push_back({"pesquisar", title, {}, ds.RecNo()});
    const std::optional<int> row = next(picks, "pesquisar", title, std::optional<int>());
    if (!row) return false;
    if (*row < 0 || *row >= ds.RecordCount()) {
        ADD_FAILURE() << "ScriptedHostUi: pesquisar answer row " << *row << " outside 0.." << ds.RecordCount() - 1;
        return false;
    }
    ds.MoveTo(*row);
    return true;
}

bool ScriptedHostUi::pesquisaLista(TClientDataSet& ds, const QString&, const QString& caption, QString& keys) {
    pickersShown.push_back({"pesquisaLista", caption.section('|', 0, 0), keys});
    // Like the real picker, an empty list only shows its message.
    if (ds.IsEmpty()) {
        messageDlg(caption.section('|', 1), host::MsgDlgType::Information, host::mbOK);
        return false;
    }
    return takeText(lists, "pesquisaLista", caption, keys);
}

void ScriptedHostUi::procura(TClientDataSet& ds) {
    if (ds.IsEmpty()) return;
    pickersShown.push_back({"procura", {}, {}});
    const int row = next(finds, "procura", QString(), -1);
    if (row >= 0 && row < ds.RecordCount()) ds.MoveTo(row);
}

QString ScriptedHostUi::saveFileName(const QString& title, const QString&, const QString& proposedName) {
    proposedNames << proposedName;
    return next(fileNames, "saveFileName", title, QString());
}

bool ScriptedHostUi::printDialog(QPrinter& printer) {
    const bool ok = next(prints, "printDialog", QString(), false);
    if (ok && printerChoice) printerChoice(printer);
    return ok;
}

bool ScriptedHostUi::printerSetup(QPrinter& printer) {
    const bool ok = next(prints, "printerSetup", QString(), false);
    if (ok && printerChoice) printerChoice(printer);
    return ok;
}

void ScriptedHostUi::previewReport(QPrinter& printer, const QString& title,
                                   const std::function<void(QPrinter&)>& paint) {
    previewsShown << title;
    if (!previewPng.isEmpty()) {
        host::ReportPreviewDialog window(printer, title, paint);
        window.show();
        EXPECT_TRUE(window.grab().save(previewPng));
    }
    if (previewFile.isEmpty()) return;
    QPrinter file(QPrinter::HighResolution);
    file.setOutputFormat(QPrinter::PdfFormat);
    file.setOutputFileName(previewFile);
    file.setPageLayout(printer.pageLayout());
    paint(file);
}

bool ScriptedHostUi::inputText(const QString& title, const QString&, QString& value) {
    return takeText(inputs, "inputText", title, value);
}

int ScriptedHostUi::execDialog(QDialog& dialog) {
    dialogsShown << dialog.windowTitle();
    if (dialogs.empty()) {
        ADD_FAILURE() << "ScriptedHostUi: no answer queued for the dialog \"" << dialog.windowTitle().toStdString()
                      << "\"";
        return QDialog::Rejected;
    }
    const auto answer = std::move(dialogs.front());
    dialogs.pop_front();
    return answer(dialog);
}

void ScriptedHostUi::showStatus(const QString& text) { statuses << text; }

void ScriptedHostUi::showBusy(bool on) {
    busy = on;
    ++(on ? busyOn : busyOff);
}

}  // namespace krv::test
