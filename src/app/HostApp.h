#pragma once
#include <QString>
#include <map>
#include <memory>

#include "app/EmbeddedServer.h"
#include "app/HostOptions.h"
#include "app/PackageLoader.h"

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

    // Starts the embedded server when no server was named, sets the session, shows the main
    // window and opens the modules asked for with --open. False with a Portuguese
    // explanation when the server could not be started.
    bool start(QString& error);

    // Loads the module's package once and calls its IniProc; failures are shown to the user.
    void openModule(const QString& code);

    MainWindow* window() const { return window_.get(); }
    const EmbeddedServer& embeddedServer() const { return server_; }
    PackageLoader* package(const QString& code) const;

private:
    HostOptions options_;
    QString binDir_;
    EmbeddedServer server_;
    std::map<QString, std::unique_ptr<PackageLoader>> packages_;
    std::unique_ptr<MainWindow> window_;
};

}  // namespace krv::app
