#include "app/HostApp.h"

#include <QDir>

#include "app/ClientConfig.h"
#include "app/EmbeddedLogin.h"
#include "app/MainWindow.h"
#include "app/ServerLogin.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/screens/Consiste.h"
#include "host/session/Access.h"
#include "host/session/Application.h"
#include "host/session/Session.h"

namespace krv::app {

namespace {

bool DemoAsked(const QString& configFile) {
    return host::HostUi::instance().messageDlg(NoServerConfigured(configFile), host::MsgDlgType::Confirmation,
                                               host::mbYes | host::mbNo) == host::mrYes;
}

}  // namespace

HostApp::HostApp(HostOptions options, QString binDir) : options_(std::move(options)), binDir_(std::move(binDir)) {}

HostApp::~HostApp() {
    // Module screens are widgets whose code lives in the packages: they go first.
    window_.reset();
    for (auto& [code, package] : packages_) package->unload();
    server_.stop();
}

bool HostApp::startEmbedded(host::SessionInfo& session, QString& error) {
    EmbeddedServer::Config config;
    config.program = QDir(binDir_).filePath("krv-server");
    config.dataDir = options_.dataDir;
    config.tokenFile = options_.tokenFile;
    if (!server_.start(config, error)) return false;
    session.host = server_.host();
    session.port = server_.port();
    if (!options_.token.isEmpty()) return true;
    // Set while the server runs, once its first start has seeded the database: the seed's
    // own operators are there before this password is given to ours.
    const std::optional<QString> password = EmbeddedLogin::Password(options_.dataDir, error);
    if (!password || !EmbeddedLogin::CreateOperator(config.program, EmbeddedServer::DatabasePath(config.dataDir),
                                                    session.operador, *password, error))
        return false;
    session.password = *password;
    return true;
}

bool HostApp::start(QString& error) {
    error.clear();
    host::SessionInfo session{options_.filial, options_.operador, options_.serverHost, options_.serverPort,
                              options_.token};
    session.tls = options_.tls;
    session.caFile = options_.caFile;
    session.moreServers = options_.moreServers;
    // With no server configured the host says how to set one, and starts the demo only if asked.
    if (options_.unconfigured && !DemoAsked(options_.configFile)) return false;
    if (options_.embedded() && !startEmbedded(session, error)) return false;
    if (options_.asksLogin() && !LogInToServer(session)) return false;
    host::SetSession(session);
    // An operator who answers for some branches only starts in the first of them.
    const QStringList branches = host::CurrentAccess().branches;
    if (!branches.isEmpty() && !branches.contains(session.filial)) {
        session.filial = branches.first();
        host::SetSession(session);
    }

    window_ = std::make_unique<MainWindow>([this](const QString& code) { openModule(code); });
    host::Application.SetMainForm(window_.get(), window_->mdiArea());

    // The status bar shows the session even when the processing date cannot be read; the
    // screens then report the failure when they need the date.
    QString processing;
    try {
        processing = host::DataProcDate(host::FiliProc()).toString("dd/MM/yyyy");
    } catch (const std::exception&) {
    }
    window_->showSession(host::FiliProc(), host::Operador(), processing,
                         QString("%1:%2").arg(session.host).arg(session.port));
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
