#pragma once
#include <QMainWindow>
#include <functional>

class QLabel;
class QMdiArea;

namespace krv::app {

// The host's main window: the MDI area where module screens open, the "Módulos" menu and
// a status bar with the session (branch, operator, processing date, server).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // `openModule` opens a module by its code; it reports its own failures.
    explicit MainWindow(std::function<void(const QString&)> openModule, QWidget* parent = nullptr);

    QMdiArea* mdiArea() const { return mdiArea_; }

    // Shows the session in the status bar; `processingDate` is "" when it could not be read.
    void showSession(const QString& filial, const QString& operador, const QString& processingDate,
                     const QString& server);

protected:
    // The module screens close first, so each runs its own close (connection, server lists);
    // a screen that refuses to close keeps the host open.
    void closeEvent(QCloseEvent* event) override;

private:
    void focusActiveScreen();

    QMdiArea* mdiArea_;
    QLabel* filial_;
    QLabel* operador_;
    QLabel* dataProc_;
    QLabel* servidor_;
};

}  // namespace krv::app
