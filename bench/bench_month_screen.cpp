// The order screen on a large company's month, as a user works it: krv-host with its own
// krv-server on the demo company seeded with N kitchens (argument, default 700) and every
// kitchen's month calculated beforehand; on the order screen "Todas" lists every kitchen's
// requisitions of the month, the title of the mark column marks them all, and "Confirmar"
// generates their orders (the preview answered "Gerar"). Prints each step's time, the rows of
// the list, the orders stored and the host process's peak memory; any message the screen
// showed is printed and fails the run.
#include <sys/resource.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "BenchSession.h"
#include "app/HostApp.h"
#include "app/MainWindow.h"
#include "host/dialogs/HostUi.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "server/storage/Database.h"
#include "support/TempDir.h"

using namespace krv;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDays = 31;

// Answers every question yes, the order preview with "Gerar", and keeps every message.
class AnsweringUi : public host::HostUi {
public:
    AnsweringUi() { install(this); }
    ~AnsweringUi() override { install(nullptr); }
    int messageDlg(const QString& text, host::MsgDlgType type, int buttons) override {
        if (type != host::MsgDlgType::Confirmation) messages << text;
        if (onMessage) onMessage();
        return (buttons & host::mbYes) ? host::mrYes : host::mrOk;
    }
    bool pesquisar(TClientDataSet&, const QString&) override { return false; }
    bool pesquisaLista(TClientDataSet&, const QString&, const QString&, QString&) override { return false; }
    void procura(TClientDataSet&) override {}
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    bool printDialog(QPrinter&) override { return false; }
    bool printerSetup(QPrinter&) override { return false; }
    bool inputText(const QString&, const QString&, QString&) override { return false; }
    void previewReport(QPrinter&, const QString&, const std::function<void(QPrinter&)>&) override {}
    int execDialog(QDialog& dialog) override {
        if (onDialog) onDialog();
        if (auto* gerar = dialog.findChild<QPushButton*>("btnGerar")) gerar->click();
        return dialog.result();
    }
    void showStatus(const QString&) override {}
    void showBusy(bool) override {}

    QStringList messages;
    std::function<void()> onDialog, onMessage;  // when the preview and a message are shown
};

// The month of every kitchen calculated, as the requisition screen would, in process.
void seedAndCalculate(const std::string& database, int kitchens, DateTime start, DateTime end) {
    server::ApplicationOptions options{database, true};
    options.demoSize = server::DemoSize{kitchens};
    server::Application app(options);
    const auto call = [&](const std::string& method, std::vector<Variant> args) {
        const rpc::Outcome outcome =
            app.dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, method, std::move(args));
        if (!outcome.ok || !outcome.result.array().at(0).asBool())
            throw std::runtime_error(method + ": " + outcome.result.asString());
        return outcome.result.array().at(1).array().at(0).asString();
    };
    std::vector<std::string> branches;
    app.database().connection().each("SELECT cdfilial FROM branch WHERE ol = 'N' ORDER BY cdfilial", {},
                                     [&](const server::db::ResultRow& row) { branches.push_back(row.text(0)); });
    for (const std::string& branch : branches) {
        const std::string services = call("GetNrListaServ", {branch, "T", ""});
        call("CalculaRequisicoes",
             {branch, start, end, 10.0, "S", "CFP", server::kDemoOperator, branch, services, "", ""});
    }
}

double secondsSince(Clock::time_point started) { return std::chrono::duration<double>(Clock::now() - started).count(); }

double peakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    const int kitchens = argc > 1 ? std::atoi(argv[1]) : 700;
    const support::TempDir dir("krv-bench");
    const QString dataDir = QString::fromStdString(dir.file("var"));
    QDir().mkpath(dataDir);
    const std::string database = QDir(dataDir).filePath("krv.db").toStdString();
    const DateTime start = server::localNow().date(), end = start.addDays(kDays - 1);

    auto started = Clock::now();
    seedAndCalculate(database, kitchens, start, end);
    std::printf("%d cozinhas semeadas e calculadas (%d dias) em %.1f s\n", kitchens, kDays, secondsSince(started));

    AnsweringUi ui;
    app::HostOptions options;
    options.dataDir = dataDir;
    options.open = {"KRV52000"};
    app::HostApp host(options, KRV_BIN_DIR);
    QString error;
    if (!host.start(error)) {
        std::fprintf(stderr, "bench_month_screen: %s\n", qPrintable(error));
        return 1;
    }
    QWidget* screen = host.window()->mdiArea()->subWindowList().first()->widget();
    const auto day = [](DateTime d) { return QString::fromStdString(d.toBr()); };
    screen->findChild<QLineEdit*>("depDataInic")->setText(day(start));
    screen->findChild<QLineEdit*>("depDataFina")->setText(day(end));

    std::vector<std::pair<std::string, double>> seconds;  // in the order of the steps
    int listed = 0, open = 0;
    QTimer::singleShot(0, [&] {
        QWidget* order = QApplication::activeModalWidget();
        if (!order) return;
        auto* grid = order->findChild<QTableView*>("dbgRequisicoes");
        if (!QTest::qWaitForWindowActive(order)) return;
        auto step = [&](const char* name, const std::function<void()>& act) {
            const auto at = Clock::now();
            act();
            QCoreApplication::processEvents();
            seconds.emplace_back(name, secondsSince(at));
        };
        // "Todas", then leaving the branch group for the grid: that is when the list is made.
        step("lista do mês (Todas)", [&] {
            auto* all = order->findChild<QAbstractButton*>("rbtTFilial");
            all->setFocus(Qt::OtherFocusReason);
            all->click();
            grid->setFocus(Qt::TabFocusReason);
        });
        listed = grid->model()->rowCount();
        step("marcar todas", [&] {
            QHeaderView* header = grid->horizontalHeader();
            QTest::mouseClick(
                header->viewport(), Qt::LeftButton, {},
                QPoint(header->sectionViewportPosition(0) + header->sectionSize(0) / 2, header->height() / 2));
        });
        // "Confirmar" in three parts: up to the preview shown (the marked list sent, the preview
        // made and laid out), up to the message (the orders generated), and the list again.
        auto at = Clock::now();
        const auto lap = [&](const char* name) {
            seconds.emplace_back(name, secondsSince(at));
            at = Clock::now();
        };
        ui.onDialog = [&] { lap("Confirmar: lista enviada e prévia"); };
        ui.onMessage = [&] { lap("Confirmar: geração"); };
        order->findChild<QAbstractButton*>("sbtConfirma")->click();
        QCoreApplication::processEvents();
        lap("Confirmar: lista de novo");
        open = grid->model()->rowCount();
        order->close();
    });
    screen->findChild<QAbstractButton*>("sbtGerarPedido")->click();

    const auto counted = [&](const char* sql) {
        return server::db::openDatabase(database)->connection().integer(sql).value_or(-1);
    };
    std::printf("%d requisições listadas; depois da geração a lista tem %d linhas\n", listed, open);
    for (const auto& [name, s] : seconds) {
        const int width = 40 + int(name.size()) - int(QString::fromStdString(name).size());  // accents take 2 bytes
        std::printf("  %-*s %8.2f s\n", width, name.c_str(), s);
    }
    std::printf("%lld pedidos gravados; %lld requisições sem pedido; memória de pico do host %.0f MiB\n",
                static_cast<long long>(counted("SELECT count(*) FROM purchase_order")),
                static_cast<long long>(counted("SELECT count(*) FROM requisition WHERE nrpedexol IS NULL")), peakMiB());
    for (const QString& message : ui.messages) std::printf("mensagem: %s\n", qPrintable(message));
    const bool whole = listed > 0 && seconds.size() == 5 && ui.messages.size() == 1 &&
                       ui.messages.first().startsWith("Geração dos pedidos concluída com sucesso.");
    return whole ? 0 : 1;
}
