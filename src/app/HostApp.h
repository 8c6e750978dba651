#pragma once
#include <QString>
#include <map>
#include <memory>

#include "app/EmbeddedServer.h"
#include "app/HostOptions.h"
#include "app/PackageLoader.h"
#include "host/session/Session.h"

namespace krv::app {

class MainWindow;

// The running host: its server (its own embedded one, or the one named on the command
// line), the session, the main window and the module packages it has loaded.
class HostApp {
public:
    HostApp(HostOptions options, QString binDir);
    ~HostApp();  // closes the window, unloads the packages, then stops the embedded server
    HostApp(const HostApp&) = delete;
    HostApp& operator=(const HostApp&) = delete;

    // Starts the embedded server and logs in to it when no server was named, or asks the
    // operator's login for the server named; sets the session, shows the main window and
    // opens the modules asked for with --open. False with a Portuguese explanation when the
    // server could not be started, and with an empty one when the user cancelled the login.
    bool start(QString& error);

    // Loads the module's package once and calls its IniProc; failures are shown to the user.
    void openModule(const QString& code);

    MainWindow* window() const { return window_.get(); }
    const EmbeddedServer& embeddedServer() const { return server_; }
    PackageLoader* package(const QString& code) const;

private:
    bool startEmbedded(host::SessionInfo& session, QString& error);

    HostOptions options_;
    QString binDir_;
    EmbeddedServer server_;
    std::map<QString, std::unique_ptr<PackageLoader>> packages_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace krv::app
