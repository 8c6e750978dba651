#pragma once
#include <gtest/gtest.h>

#include <QMainWindow>
#include <QString>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "support/RecordingServer.h"
#include "support/ScriptedHostUi.h"

class QAbstractButton;
class QMdiArea;
class QWidget;

namespace krv::requisition {
class TfrmPedReq;
}

namespace krv::test {

using requisition::TfrmPedReq;

// A branch as the scripted server knows it.
struct Branch {
    std::string name;
    std::string ol = "N";
};

// The requisition screen's world: a scripted application server on loopback (session
// object and KRV52000.rdmPedReq), the scripted HostUi, a shown main window with its MDI
// area, and a session pointed at the server.
class ScreenFixture : public ::testing::Test {
protected:
    ScreenFixture();
    ~ScreenFixture() override;

    // Creates a requisition screen the way the module does (through the application object).
    TfrmPedReq* createScreen();
    // Shows the main window and waits until it is active, so focus changes count as exits.
    void showAndActivate();
    // Moves the focus from `from` to `to` as a Tab key would, so `from`'s exit handler runs.
    static void leave(QWidget* from, QWidget* to);
    // Saves the screen's picture under the build tree's screens folder.
    static void renderPng(QWidget* widget, const QString& name);

    // Puts a group on "Lista" and marks `keys` in its picker, as a user would.
    void markList(QAbstractButton* lista, QAbstractButton* picker, const QString& keys);
    // The methods called whose names start with `prefix`, in order.
    std::vector<std::string> methodsOf(const std::string& prefix) const;
    // The branch codes of the GetFilial calls received, in order.
    std::vector<std::string> getFilialArgs() const;

    RecordingServer server;
    ScriptedHostUi ui;
    std::map<std::string, Branch> branches{
        {"0001", {"Cozinha Central"}}, {"0002", {"Restaurante Norte"}}, {"0009", {"Operador Logístico", "S"}}};
    // The services of every branch (code, name); each has the shifts 1 "Manhã" and 2 "Tarde".
    std::vector<std::pair<std::string, std::string>> services{{"00001", "Desjejum"}, {"00002", "Almoço"}};
    int listsMade = 0;  // list numbers are "S1", "T2", "C3", … in the order asked
    std::string picture = "9.99.999.9999";
    DateTime processingDate = DateTime::fromDate(2026, 12, 7);  // a Monday
    DataPacket reportRows;                                      // what Host.rdmRelatorio answers
    bool forecastExists = false;                                // what ExistePrevisaoConsumo answers
    // What GetAcesso answers: the role and its refused actions as the server words them (action
    // words, refusal); set before the first screen is made, as the answer lasts the session.
    std::string role = "administrador";
    std::vector<std::pair<std::string, std::string>> refused;
    DataPacket stock;  // what GetSaldoFilial answers
    std::unique_ptr<QMainWindow> mainWindow;
    QMdiArea* mdiArea = nullptr;
};

// The fixture with a requisition screen created, shown and active, and no call recorded yet.
class ShownScreen : public ScreenFixture {
protected:
    void SetUp() override;

    TfrmPedReq* form = nullptr;
};

}  // namespace krv::test
