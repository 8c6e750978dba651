#include "app/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include "app/AppIcon.h"

namespace krv::app {

MainWindow::MainWindow(std::function<void(const QString&)> openModule, QWidget* parent)
    : QMainWindow(parent), mdiArea_(new QMdiArea(this)) {
    setObjectName("frmPrincipal");
    setWindowTitle("Gestão de Refeições");
    setWindowIcon(AppIcon());
    mdiArea_->setObjectName("mdiPrincipal");
    setCentralWidget(mdiArea_);
    resize(1024, 720);

    QMenu* arquivo = menuBar()->addMenu("&Arquivo");
    arquivo->addAction("&Sair", this, &QWidget::close);

    QMenu* modulos = menuBar()->addMenu("&Módulos");
    QAction* pedReq = modulos->addAction("KRV52000 - Pedido por Requisição");
    pedReq->setObjectName("actKRV52000");
    connect(pedReq, &QAction::triggered, this, [openModule] { openModule("KRV52000"); });

    QMenu* janela = menuBar()->addMenu("&Janela");
    janela->addAction("&Cascata", mdiArea_, &QMdiArea::cascadeSubWindows);
    janela->addAction("&Lado a lado", mdiArea_, &QMdiArea::tileSubWindows);
    // After the menu's own action has run, the keys go back to the screen in front.
    for (QMenu* menu : {arquivo, modulos, janela})
        connect(menu, &QMenu::aboutToHide, this, [this] { QTimer::singleShot(0, this, [this] { focusActiveScreen(); }); });

    // The screens' messages: a field of their own, which the window never narrows below its
    // text, where a plain status-bar message would be cut by the session fields.
    auto* mensagem = new QLabel(this);
    mensagem->setObjectName("stbMensagem");
    statusBar()->addWidget(mensagem, 1);

    auto addField = [this](const char* name) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setContentsMargins(10, 0, 10, 0);
        statusBar()->addPermanentWidget(label);
        return label;
    };
    filial_ = addField("stbFilial");
    operador_ = addField("stbOperador");
    dataProc_ = addField("stbDataProc");
    servidor_ = addField("stbServidor");
}

// A screen's function keys answer only while the focus is inside it; the menu bar leaves the
// focus outside every screen.
void MainWindow::focusActiveScreen() {
    const QMdiSubWindow* frame = mdiArea_->activeSubWindow();
    if (!frame || !frame->widget()) return;
    QWidget* screen = frame->widget();
    if (screen->isAncestorOf(QApplication::focusWidget())) return;
    QWidget* last = screen->focusWidget();
    (last ? last : screen)->setFocus(Qt::OtherFocusReason);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    mdiArea_->closeAllSubWindows();
    for (const QMdiSubWindow* frame : mdiArea_->subWindowList())
        if (frame->isVisible()) {
            event->ignore();
            return;
        }
    QMainWindow::closeEvent(event);
}

void MainWindow::showSession(const QString& filial, const QString& operador, const QString& processingDate,
                             const QString& server) {
    filial_->setText("Filial: " + filial);
    operador_->setText("Operador: " + operador);
    dataProc_->setText("Data de processamento: " +
                       (processingDate.isEmpty() ? QString("indisponível") : processingDate));
    servidor_->setText("Servidor: " + server);
}

}  // namespace krv::app
