#include "app/HostApp.h"

#include <QDir>

#include "app/MainWindow.h"
#include "host/screens/Consiste.h"
#include "host/events/EventHelpers.h"
#include "host/session/Application.h"
#include "host/session/Session.h"

namespace krv::app {

HostApp::HostApp(HostOptions options, QString binDir) : options_(std::move(options)), binDir_(std::move(binDir)) {}

HostApp::~HostApp() {
    // Module screens are widgets whose code lives in the packages: they go first.
    window_.reset();
    for (auto& [code, package] : packages_) package->unload();
    server_.stop();
}

bool HostApp::start(QString& error) {
    QString host = options_.serverHost;
    int port = options_.serverPort;
    if (options_.embedded()) {
        EmbeddedServer::Config config;
        config.program = QDir(binDir_).filePath("krv-server");
        config.dataDir = options_.dataDir;
        config.tokenFile = options_.tokenFile;
        if (!server_.start(config, error)) return false;
        host = server_.host();
        port = server_.port();
    }
    host::SetSession({options_.filial, options_.operador, host, port, options_.token});

    window_ = std::make_unique<MainWindow>([this](const QString& code) { openModule(code); });
    host::Application.SetMainForm(window_.get(), window_->mdiArea());

    // The status bar shows the session even when the processing date cannot be read; the
    // screens then report the failure when they need the date.
    QString processing;
    try {
        processing = host::DataProcDate(host::FiliProc()).toString("dd/MM/yyyy");
    } catch (const std::exception&) {
    }
    window_->showSession(host::FiliProc(), host::Operador(), processing, QString("%1:%2").arg(host).arg(port));
    window_->show();

    for (const QString& code : options_.open) openModule(code);
    return true;
}

PackageLoader* HostApp::package(const QString& code) const {
    const auto it = packages_.find(code.toUpper());
    return it == packages_.end() ? nullptr : it->second.get();
}

void HostApp::openModule(const QString& code) {
    host::Guard([&] {
        auto& package = packages_[code.toUpper()];
        if (!package) package = std::make_unique<PackageLoader>();
        QString error;
        if (!package->load(PackageLoader::PackagePath(binDir_, code), error)) host::MensErro(error, true);
        package->iniProc();
    });
}

}  // namespace krv::app
