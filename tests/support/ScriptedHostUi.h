#pragma once
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/dialogs/HostUi.h"

namespace krv::test {

// A HostUi for tests: records every message and answers every modal question from a
// queue filled by the test. A question with no queued answer fails the running test
// and answers "cancelled", so a test never blocks on a dialog.
// Installs itself on construction and puts the Qt implementation back on destruction.
class ScriptedHostUi : public host::HostUi {
public:
    struct Message {
        host::MsgDlgType type;
        QString text;
        int buttons;
        bool operator==(const Message&) const = default;
    };
    struct Pick {          // one shown picker: which one and with what
        std::string kind;  // "pesquisar", "pesquisaLista", "procura"
        QString title;
        QString keysBefore;  // list picker only
        int startRow = -1;   // the data set's current row when it opened
    };

    ScriptedHostUi();
    ~ScriptedHostUi() override;
    ScriptedHostUi(const ScriptedHostUi&) = delete;
    ScriptedHostUi& operator=(const ScriptedHostUi&) = delete;

    // Answers, consumed in order.
    void answerModal(int modalResult) { modalResults.push_back(modalResult); }
    void answerPick(int visibleRow) { picks.push_back(visibleRow); }  // row to choose
    void cancelPick() { picks.push_back(std::nullopt); }
    void answerList(const QString& keys) { lists.push_back(keys); }
    void cancelList() { lists.push_back(std::nullopt); }
    void answerFind(int visibleRow) { finds.push_back(visibleRow); }
    void answerFileName(const QString& name) { fileNames.push_back(name); }  // "" = cancel
    void answerPrint(bool ok) { prints.push_back(ok); }
    void answerInput(const QString& text) { inputs.push_back(text); }
    void cancelInput() { inputs.push_back(std::nullopt); }
    // A screen's own dialog: the answer looks at it, presses its buttons and returns its
    // result, or returns a result straight away.
    void answerDialog(std::function<int(QDialog&)> answer) { dialogs.push_back(std::move(answer)); }

    // Applied to the printer when a print or printer-setup dialog is answered OK, as the
    // user's choices in it (a PDF file as the printer, another orientation, …).
    std::function<void(QPrinter&)> printerChoice;
    // When set, every preview is painted into this PDF file instead of a window, and the
    // real preview window is shown offscreen and saved to this PNG file.
    QString previewFile;
    QString previewPng;

    // What was shown.
    std::vector<Message> messages;
    QStringList previewsShown;  // titles
    std::vector<Pick> pickersShown;
    QStringList statuses;       // status-bar lines
    QStringList proposedNames;  // what each save dialog proposed
    QStringList dialogsShown;   // window titles of the screens' own dialogs
    int busyOn = 0;
    int busyOff = 0;
    bool busy = false;

    // Texts of the messages of one type, in order.
    QStringList texts(host::MsgDlgType type) const;
    QStringList errors() const { return texts(host::MsgDlgType::Error); }
    // True when every queued answer was used: a leftover usually means a dialog that
    // should have appeared did not.
    bool allAnswersUsed() const;

    int messageDlg(const QString& text, host::MsgDlgType type, int buttons) override;
    bool pesquisar(TClientDataSet& ds, const QString& title) override;
    bool pesquisaLista(TClientDataSet& ds, const QString& keyField, const QString& caption, QString& keys) override;
    void procura(TClientDataSet& ds) override;
    QString saveFileName(const QString& title, const QString& filter, const QString& proposedName) override;
    bool printDialog(QPrinter& printer) override;
    bool printerSetup(QPrinter& printer) override;
    bool inputText(const QString& title, const QString& prompt, QString& value) override;
    void previewReport(QPrinter& printer, const QString& title, const std::function<void(QPrinter&)>& paint) override;
    int execDialog(QDialog& dialog) override;
    void showStatus(const QString& text) override;
    void showBusy(bool on) override;

private:
    std::deque<std::function<int(QDialog&)>> dialogs;
    std::deque<int> modalResults;
    std::deque<std::optional<int>> picks;
    std::deque<std::optional<QString>> lists;
    std::deque<int> finds;
    std::deque<QString> fileNames;
    std::deque<bool> prints;
    std::deque<std::optional<QString>> inputs;
};

}  // namespace krv::test
