#include "requisition/ScreenFixture.h"

#include <QAbstractButton>
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

Variant ListNumber(const std::string& number) { return Variant(Variant::Array{Variant(number)}); }

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
    server.on("KRV52000.rdmPedReq", "GetServico", 1, [this](std::vector<Variant>& args) {
        DataPacket packet;
        packet.fields = {{"IDMARCADO", FieldType::Fixed, 1},
                         {"CHAVE", FieldType::String, 9},
                         {"CDSERVFILI", FieldType::String, 5},
                         {"NMSERVICO", FieldType::String, 40}};
        for (const auto& [code, name] : services) packet.rows.push_back({"N", args[0].asString() + code, code, name});
        return Variant(std::move(packet));
    });
    server.on("KRV52000.rdmPedReq", "GetAgrupProd", 1, [](std::vector<Variant>&) {
        DataPacket packet;
        packet.fields = {{"IDMARCADO", FieldType::Fixed, 1},
                         {"CHAVE", FieldType::String, 20},
                         {"CDSUBGRPROD", FieldType::String, 10},
                         {"NMSUBGRPROD", FieldType::String, 40}};
        packet.rows = {{"N", "01        001", "001", "Carnes"}, {"N", "02        010", "010", "Hortifrúti"}};
        return Variant(std::move(packet));
    });
    server.on("KRV52000.rdmPedReq", "GetTurno", 1, [this](std::vector<Variant>&) {
        DataPacket packet;
        packet.fields = {{"IDMARCADO", FieldType::Fixed, 1},   {"CHAVE", FieldType::String, 10},
                         {"CDSERVFILI", FieldType::String, 5}, {"NMSERVICO", FieldType::String, 40},
                         {"CDTURNO", FieldType::String, 1},    {"NMTURNO", FieldType::String, 10}};
        for (const auto& [code, name] : services) {
            packet.rows.push_back({"N", "0001" + code + "1", code, name, "1", "Manhã"});
            packet.rows.push_back({"N", "0001" + code + "2", code, name, "2", "Tarde"});
        }
        return Variant(std::move(packet));
    });
    server.on("KRV52000.rdmPedReq", "GetNrListaServ", 3,
              [this](std::vector<Variant>&) { return ListNumber("S" + std::to_string(++listsMade)); });
    server.on("KRV52000.rdmPedReq", "GetNrListaTurno", 3,
              [this](std::vector<Variant>&) { return ListNumber("T" + std::to_string(++listsMade)); });
    server.on("KRV52000.rdmPedReq", "apagaListas", 4, [](std::vector<Variant>&) { return Variant(); });
    server.on("KRV52000.rdmPedReq", "CalculaRequisicoes", 11,
              [this](std::vector<Variant>&) { return ListNumber("C" + std::to_string(++listsMade)); });
    server.on("KRV52000.rdmPedReq", "CalculaPrevisaoConsumo", 4, [](std::vector<Variant>&) { return Variant(); });
    server.on("KRV52000.rdmPedReq", "ExistePrevisaoConsumo", 3,
              [this](std::vector<Variant>&) { return Variant(forecastExists); });
    server.on("Host.rdmSessao", "GetAcesso", 0, [this](std::vector<Variant>&) {
        Variant::Array refusals;
        for (const auto& [action, refusal] : refused) refusals.emplace_back(Variant::Array{action, refusal});
        return Variant(Variant::Array{Variant(role), Variant("T"), Variant(std::move(refusals))});
    });
    server.on("Host.rdmRelatorio", "GetDados", 2, [this](std::vector<Variant>&) { return Variant(reportRows); });
    server.on("KRV52000.rdmPedReq", "GetSaldoFilial", 2, [this](std::vector<Variant>&) { return Variant(stock); });
    server.on("KRV52000.rdmPedReq", "GravaContagemEstoque", 3, [](std::vector<Variant>& args) {
        return Variant(Variant::Array{int64_t(args[1].packet().rows.size())});
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
    host::InvalidateDBPictures();  // the code picture was this server's
}

TfrmPedReq* ScreenFixture::createScreen() {
    TfrmPedReq* form = nullptr;
    host::Application.CreateForm(form);
    return form;
}

void ShownScreen::SetUp() {
    form = createScreen();
    ASSERT_NE(form, nullptr);
    showAndActivate();
    server.clearCalls();
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

void ScreenFixture::markList(QAbstractButton* lista, QAbstractButton* picker, const QString& keys) {
    lista->setChecked(true);
    ui.answerList(keys);
    picker->click();
}

std::vector<std::string> ScreenFixture::methodsOf(const std::string& prefix) const {
    std::vector<std::string> methods;
    for (const std::string& method : server.methods())
        if (method.rfind(prefix, 0) == 0) methods.push_back(method);
    return methods;
}

std::vector<std::string> ScreenFixture::getFilialArgs() const {
    std::vector<std::string> codes;
    for (const auto& call : server.calls())
        if (call.method == "GetFilial") codes.push_back(call.args.at(0).asString());
    return codes;
}

}  // namespace krv::test
