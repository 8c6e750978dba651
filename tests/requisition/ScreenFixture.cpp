#include "requisition/ScreenFixture.h"

#include <QDir>
#include <QMdiArea>
#include <QTest>

#include "core/DataPacket.h"
#include "host/session/Application.h"
#include "host/session/DBPicture.h"
#include "host/session/Session.h"
#include "requisition/TfrmPedReq.h"
#include "rpc/Dispatcher.h"

namespace krv::test {

namespace {

DataPacket BranchPacket() {
    DataPacket packet;
    packet.fields = {{"IDMARCADO", FieldType::String, 1},
                     {"CDFILIAL", FieldType::String, 4},
                     {"NMFILIAL", FieldType::String, 30},
                     {"OL", FieldType::Fixed, 1}};
    return packet;
}

}  // namespace

ScreenFixture::ScreenFixture() {
    server.on("Host.rdmSessao", "DataProc", 1, [this](std::vector<Variant>&) { return Variant(processingDate); });
    server.on("Host.rdmSessao", "DBPictObj", 1, [this](std::vector<Variant>&) { return Variant(picture); });
    server.on("KRV52000.rdmPedReq", "GetFilial", 1, [this](std::vector<Variant>& args) {
        DataPacket packet = BranchPacket();
        const std::string code = args[0].asString();
        for (const auto& [cd, branch] : branches)
            if (code == "T" || code == cd) packet.rows.push_back({"N", cd, branch.name, branch.ol});
        return Variant(std::move(packet));
    });
    server.start();

    host::SetSession({"0001", "ADMIN", "127.0.0.1", int(server.port()), ""});
    host::InvalidateDBPictures();

    mainWindow = std::make_unique<QMainWindow>();
    mdiArea = new QMdiArea(mainWindow.get());
    mainWindow->setCentralWidget(mdiArea);
    mainWindow->resize(900, 640);
    host::Application.SetMainForm(mainWindow.get(), mdiArea);
}

ScreenFixture::~ScreenFixture() {
    host::Application.SetMainForm(nullptr, nullptr);
    mainWindow.reset();
    server.stop();
}

TfrmPedReq* ScreenFixture::createScreen() {
    TfrmPedReq* form = nullptr;
    host::Application.CreateForm(form);
    return form;
}

void ScreenFixture::showAndActivate() {
    mainWindow->show();
    mainWindow->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(mainWindow.get()));
}

void ScreenFixture::leave(QWidget* from, QWidget* to) {
    from->setFocus(Qt::OtherFocusReason);
    to->setFocus(Qt::TabFocusReason);
}

void ScreenFixture::renderPng(QWidget* widget, const QString& name) {
    QDir().mkpath(KRV_SCREENS_DIR);
    EXPECT_TRUE(widget->grab().save(QDir(KRV_SCREENS_DIR).filePath(name + ".png")));
}

std::vector<std::string> ScreenFixture::getFilialArgs() const {
    std::vector<std::string> codes;
    for (const auto& call : server.calls())
        if (call.method == "GetFilial") codes.push_back(call.args.at(0).asString());
    return codes;
}

}  // namespace krv::test
