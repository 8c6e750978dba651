// krv-host as a whole: its own krv-server on a temporary database, the session, the main
// window, and the module package loaded with dlopen and opened through IniProc.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/HostApp.h"
#include "app/MainWindow.h"
#include "app/PackageLoader.h"
#include "core/DataPacket.h"
#include "host/session/Session.h"
#include "package/PackageInfo.h"
#include "rpc/Client.h"
#include "support/ScriptedHostUi.h"

using namespace krv;

namespace {

QString ChildText(QWidget* parent, const char* name) {
    auto* edit = parent->findChild<QLineEdit*>(name);
    return edit ? edit->text() : QString("<sem %1>").arg(name);
}

// A connection of the test's own to the host's server, logged in as the host's operator.
rpc::Endpoint AsTheHost(int port) {
    rpc::Endpoint endpoint{"127.0.0.1", uint16_t(port)};
    endpoint.operatorName = host::CurrentSession().operador.toStdString();
    endpoint.password = host::CurrentSession().password.toStdString();
    return endpoint;
}

// The branch's name as the server itself gives it, asked outside the host.
QString BranchNameFromServer(int port, const std::string& code) {
    rpc::Client client;
    client.connect(AsTheHost(port));
    std::vector<Variant> args{code};
    const Variant result = client.call("KRV52000.rdmPedReq", "GetFilial", args);
    const DataPacket& packet = result.array().at(1).packet();
    return QString::fromStdString(packet.rows.at(0).at(packet.fieldIndex("NMFILIAL")).asString());
}

// GetTurno of a list number: true when the server still holds that service list.
bool ServerHoldsList(int port, const std::string& number) {
    rpc::Client client;
    client.connect(AsTheHost(port));
    std::vector<Variant> args{number};
    return client.call("KRV52000.rdmPedReq", "GetTurno", args).array().at(0).asBool();
}

TEST(HostWithModule, OpensTheRequisitionScreenOnTheRealServer) {
    test::ScriptedHostUi ui;
    QTemporaryDir dir;
    app::HostOptions options;
    options.dataDir = dir.filePath("var");
    options.open = {"KRV52000"};
    app::HostApp host(options, KRV_BIN_DIR);
    QString error;
    ASSERT_TRUE(host.start(error)) << error.toStdString();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();

    app::MainWindow* window = host.window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Gestão de Refeições");
    EXPECT_FALSE(window->windowIcon().isNull()) << "the host's own icon, not the platform's";
    ASSERT_EQ(window->mdiArea()->subWindowList().size(), 1);
    QWidget* screen = window->mdiArea()->subWindowList().first()->widget();
    EXPECT_EQ(screen->windowTitle(), "Pedido por Requisição");

    // The module variables are the screen the host shows.
    app::PackageLoader* package = host.package("KRV52000");
    ASSERT_NE(package, nullptr);
    auto* frmPedReq = static_cast<void**>(package->symbol("frmPedReq"));
    auto* boIdCriado = static_cast<bool*>(package->symbol("boIdCriado"));
    auto* frmGerarPedReq = static_cast<void**>(package->symbol("frmGerarPedReq"));
    ASSERT_TRUE(frmPedReq && boIdCriado && frmGerarPedReq);
    EXPECT_EQ(*frmPedReq, static_cast<void*>(screen));
    EXPECT_TRUE(*boIdCriado);
    EXPECT_EQ(*frmGerarPedReq, nullptr);

    const int port = host.embeddedServer().port();
    const QDate processing = host::DataProcDate("0001");
    EXPECT_EQ(ChildText(screen, "medCdFilial"), "0001");
    EXPECT_EQ(ChildText(screen, "edtNmFilial"), BranchNameFromServer(port, "0001"));
    EXPECT_FALSE(ChildText(screen, "edtNmFilial").isEmpty());
    EXPECT_EQ(ChildText(screen, "depDataInic"), processing.toString("dd/MM/yyyy"));
    EXPECT_EQ(ChildText(screen, "depDataFina"), processing.toString("dd/MM/yyyy"));
    EXPECT_FALSE(ChildText(screen, "edtDataInic").isEmpty());

    auto status = [&](const char* name) { return window->findChild<QLabel*>(name)->text(); };
    EXPECT_EQ(status("stbFilial"), "Filial: 0001");
    EXPECT_EQ(status("stbOperador"), "Operador: ADMIN");
    EXPECT_EQ(status("stbDataProc"), "Data de processamento: " + processing.toString("dd/MM/yyyy"));
    EXPECT_EQ(status("stbServidor"), QString("Servidor: 127.0.0.1:%1").arg(port));

    // The menu opens the same screen again, restored, without a second one.
    window->mdiArea()->subWindowList().first()->showMinimized();
    host.openModule("KRV52000");
    ASSERT_EQ(window->mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(window->mdiArea()->subWindowList().first()->widget(), screen);
    EXPECT_FALSE(window->mdiArea()->subWindowList().first()->isMinimized());
    EXPECT_TRUE(ui.errors().isEmpty());

    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    QDir().mkpath(KRV_SCREENS_DIR);
    EXPECT_TRUE(window->grab().save(QDir(KRV_SCREENS_DIR).filePath("krv-host.png")));

    // Picking shifts makes the server hold a service list, the first of this database.
    screen->findChild<QRadioButton*>("rbtLTurno")->click();
    ui.answerList("_000100011_");
    screen->findChild<QAbstractButton*>("sbtTurno")->click();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_TRUE(ServerHoldsList(port, "1"));

    // Closing the host closes the screen first, which deletes its lists on the server; the
    // screen object stays for the module.
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_FALSE(ServerHoldsList(port, "1"));

    // Opened again, the screen asks for a new list rather than passing the deleted one.
    host.openModule("KRV52000");
    ui.answerList("_000100011_");
    screen->findChild<QAbstractButton*>("sbtTurno")->click();
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_TRUE(ServerHoldsList(port, "2"));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(window->mdiArea()->subWindowList().size(), 1);
    EXPECT_FALSE(window->mdiArea()->subWindowList().first()->isVisible());
    EXPECT_EQ(*frmPedReq, static_cast<void*>(screen));
}

TEST(HostWithModule, ModuleIsBesideTheProgramOrInstalledInLibKrv) {
    QTemporaryDir root;
    const QDir dir(root.path());
    dir.mkpath("bin");
    dir.mkpath("lib/krv");
    const QString bin = dir.filePath("bin");
    const QString beside = dir.filePath("bin/libPkg_krv52000.so");
    const QString installed = dir.filePath("lib/krv/libPkg_krv52000.so");
    EXPECT_EQ(app::PackageLoader::PackagePath(bin, "KRV52000"), beside) << "neither: the build tree's name in errors";
    QFile(installed).open(QIODevice::WriteOnly);
    EXPECT_EQ(app::PackageLoader::PackagePath(bin, "KRV52000"), installed);
    QFile(beside).open(QIODevice::WriteOnly);
    EXPECT_EQ(app::PackageLoader::PackagePath(bin, "KRV52000"), beside) << "the build tree wins";
}

TEST(HostWithModule, PackageDescribesItsUnits) {
    app::PackageLoader loader;
    QString error;
    ASSERT_TRUE(loader.load(app::PackageLoader::PackagePath(KRV_BIN_DIR, "KRV52000"), error)) << error.toStdString();
    for (const char* name : {"IniProc", "Initialize", "Finalize", "GetPackageInfoTable"})
        EXPECT_NE(loader.symbol(name), nullptr) << name;
    auto* info = reinterpret_cast<const PackageInfoTable* (*)()>(loader.symbol("GetPackageInfoTable"))();
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info->name, "Pkg_krv52000");
    ASSERT_EQ(info->unitCount, 2);
    EXPECT_STREQ(info->units[0].name, "Cli_krv52000");
    EXPECT_STREQ(info->units[1].name, "Cli_krv52010");
    loader.unload();
    EXPECT_FALSE(loader.loaded());
}

TEST(HostWithModule, MissingPackageIsReportedWithTheLoaderReason) {
    test::ScriptedHostUi ui;
    QTemporaryDir dir;
    app::PackageLoader loader;
    QString error;
    EXPECT_FALSE(loader.load(app::PackageLoader::PackagePath(dir.path(), "KRV99999"), error));
    EXPECT_TRUE(error.startsWith("Não foi possível carregar o módulo")) << error.toStdString();
    EXPECT_TRUE(error.contains("libPkg_krv99999.so")) << error.toStdString();
    EXPECT_FALSE(loader.loaded());

    // A library that is no module package: loads, but has no IniProc.
    EXPECT_FALSE(loader.load(QDir(KRV_BIN_DIR).filePath("libkrv_host.so"), error));
    EXPECT_TRUE(error.contains("não exporta IniProc")) << error.toStdString();
    EXPECT_FALSE(loader.loaded());
}

}  // namespace
