#pragma once
#include <QWidget>

namespace krv::host {

// A small "Aguarde…" panel centred over a window while a long action runs. It follows
// the window's size and lets no mouse click through to the controls below.
class BusyOverlay : public QWidget {
    Q_OBJECT
public:
    explicit BusyOverlay(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void coverParent();
};

}  // namespace krv::host
