// Order generation from end to end: krv-host with its own krv-server, the requisitions
// calculated from the requisition screen, then listed, marked and turned into purchase
// orders by the order screen, and the result read back from the database itself.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <functional>
#include <memory>
#include <set>

#include "app/HostApp.h"
#include "app/MainWindow.h"
#include "app/PackageLoader.h"
#include "host/models/DataSetModel.h"
#include "host/session/Session.h"
#include "server/storage/Database.h"
#include "server/stores/ListStore.h"
#include "support/ScriptedHostUi.h"

using namespace krv;
namespace db = krv::server::db;

namespace {

DateTime DateOf(const QDate& d) { return DateTime::fromDate(d.year(), d.month(), d.day()); }

// What the order screen's grid shows, read through its model as the user sees it.
struct GridRow {
    host::MarkState mark;
    QString branch;
    QString order;
};

std::vector<GridRow> GridRows(QTableView* grid) {
    QAbstractItemModel* model = grid->model();
    const auto title = [&](const QString& text) {
        for (int c = 0; c < model->columnCount(); ++c)
            if (model->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == text) return c;
        ADD_FAILURE() << "no column " << text.toStdString();
        return 0;
    };
    const int branch = title("Filial");
    const int order = title("Pedido");
    std::vector<GridRow> rows;
    for (int r = 0; r < model->rowCount(); ++r)
        rows.push_back({host::MarkState(model->index(r, 0).data(host::DataSetModel::MarkStateRole).toInt()),
                        model->index(r, branch).data().toString(), model->index(r, order).data().toString()});
    return rows;
}

void ClickTitle(QTableView* grid, int column) {
    QHeaderView* header = grid->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// krv-host started on a fresh database of its own with the requisition screen open.
class OrderRoad : public ::testing::Test {
protected:
    void SetUp() override {
        options.dataDir = dir.filePath("var");
        options.open = {"KRV52000"};
        host = std::make_unique<app::HostApp>(options, KRV_BIN_DIR);
        QString error;
        ASSERT_TRUE(host->start(error)) << error.toStdString();
        ASSERT_EQ(host->window()->mdiArea()->subWindowList().size(), 1);
        screen = host->window()->mdiArea()->subWindowList().first()->widget();
        frmGerarPedReq = static_cast<void**>(host->package("KRV52000")->symbol("frmGerarPedReq"));
        ASSERT_NE(frmGerarPedReq, nullptr);
        database = db::openDatabase(QDir(options.dataDir).filePath("krv.db").toStdString());
    }
    void TearDown() override {
        if (host && host->window()) {  // no window when the start failed
            EXPECT_TRUE(host->window()->close());
        }
    }

    void click(const char* button) { screen->findChild<QAbstractButton*>(button)->click(); }
    void setPeriod(const QDate& first, const QDate& last) {
        screen->findChild<QLineEdit*>("depDataInic")->setText(first.toString("dd/MM/yyyy"));
        screen->findChild<QLineEdit*>("depDataFina")->setText(last.toString("dd/MM/yyyy"));
        period = {DateOf(first), DateOf(last)};
    }
    void calculate() {
        ui.answerModal(host::mrYes);
        click("sbtCalcReq");
    }
    // Opens "Gerar Pedido" and runs `drive` on the order screen while it is shown modally;
    // the screen is closed afterwards whatever happened, so that a failure cannot leave the
    // test waiting on it, and freed as the host's event loop would.
    void onOrderScreen(const std::function<void(QWidget* order, QTableView* grid)>& drive) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            QWidget* order = QApplication::activeModalWidget();
            if (!order) return ADD_FAILURE() << "the order screen is not shown modally";
            struct CloseAtEnd {
                QWidget* order;
                ~CloseAtEnd() { order->close(); }
            } closeAtEnd{order};
            ran = true;
            EXPECT_EQ(static_cast<void*>(order), *frmGerarPedReq);
            drive(order, order->findChild<QTableView*>("dbgRequisicoes"));
        });
        click("sbtGerarPedido");
        EXPECT_TRUE(ran) << ui.errors().join("; ").toStdString();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(*frmGerarPedReq, nullptr) << "the screen frees itself on close";
    }
    // "Confirmar" on the order screen, with "Gerar N pedidos" pressed in the preview.
    void confirm(QWidget* order) {
        ui.answerDialog([](QDialog& preview) {
            preview.findChild<QPushButton*>("btnGerar")->click();
            return preview.result();
        });
        order->findChild<QAbstractButton*>("sbtConfirma")->click();
    }
    // The success message of the orders now stored, numbered `after` + 1 onwards.
    QString generated(int64_t after = 0) {
        const int64_t n = count("SELECT count(*) FROM purchase_order WHERE nrpedexol > ?", {after});
        const QString first = QString::number(after + 1), last = QString::number(after + n);
        return "Geração dos pedidos concluída com sucesso.\n" +
               (n == 1 ? "1 pedido gerado: número " + first + "."
                       : QString::number(n) + " pedidos gerados: números " + first + " a " + last + ".");
    }
    int64_t count(const std::string& sql, const db::Params& params = {}) {
        return database->connection().integer(sql, params).value_or(-1);
    }
    // Requisitions of the demo branch in the period.
    int64_t requisitions(const std::string& condition = "1 = 1") {
        return count("SELECT count(*) FROM requisition WHERE cdfilial = '0001' AND dtrequipedido BETWEEN ? AND ? AND " +
                         condition,
                     period);
    }

    test::ScriptedHostUi ui;
    QTemporaryDir dir;
    app::HostOptions options;
    std::unique_ptr<app::HostApp> host;
    QWidget* screen = nullptr;
    void** frmGerarPedReq = nullptr;
    std::unique_ptr<db::Database> database;
    db::Params period;
};

TEST_F(OrderRoad, CalculatedRequisitionsBecomeOrdersThroughBothScreens) {
    // Three days of the demo branch, every service, shift and grouping.
    const QDate first = host::DataProcDate("0001");
    setPeriod(first, first.addDays(2));
    calculate();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    ASSERT_TRUE(ui.allAnswersUsed());
    const int64_t calculated = requisitions();
    ASSERT_GT(calculated, 0);
    EXPECT_EQ(count("SELECT count(*) FROM requisition WHERE nrpedexol IS NOT NULL"), 0);

    std::vector<GridRow> listed, generated;
    QStringList messagesInside;
    onOrderScreen([&](QWidget* order, QTableView* grid) {
        EXPECT_EQ(order->windowTitle(), "Gerar Pedido Por Requisição");
        listed = GridRows(grid);
        ClickTitle(grid, 0);  // marks every open row
        for (const GridRow& row : GridRows(grid)) EXPECT_EQ(row.mark, host::MarkState::Checked);

        confirm(order);
        generated = GridRows(grid);
        messagesInside = ui.errors() + ui.texts(host::MsgDlgType::Information);

        QDir().mkpath(KRV_SCREENS_DIR);
        EXPECT_TRUE(order->grab().save(QDir(KRV_SCREENS_DIR).filePath("krv52010-pedidos-gerados.png")));
    });
    EXPECT_EQ(messagesInside, QStringList{this->generated()});

    // The list showed every calculated requisition of the branch, open and unmarked.
    ASSERT_EQ(int64_t(listed.size()), calculated);
    for (const GridRow& row : listed) {
        EXPECT_EQ(row.mark, host::MarkState::Unchecked);
        EXPECT_EQ(row.branch, "0001");
        EXPECT_EQ(row.order, "");
    }

    // Every requisition points at an order of its own branch, supplier, day, service and
    // shift (the screen's defaults: per service, per branch, per shift), written by the
    // session's operator.
    EXPECT_EQ(requisitions("nrpedexol IS NULL"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM requisition r JOIN purchase_order o ON o.nrpedexol = r.nrpedexol"
                    " WHERE o.cdfilial = r.cdfilial AND o.cdfiliopelog = '0007' AND o.dtpedido = r.dtrequipedido"
                    " AND o.cdservfili = r.cdservfili AND o.cdturno = r.cdturno AND o.cdoperador = 'ADMIN'"
                    " AND o.cdfilproc = '0001'"),
              calculated);
    const int64_t orders = count("SELECT count(*) FROM purchase_order");
    EXPECT_GT(orders, 0);
    EXPECT_EQ(count("SELECT count(DISTINCT nrpedexol) FROM requisition"), orders);
    // Each order holds the summed quantities of its requisitions' items, and nothing else.
    EXPECT_EQ(count("SELECT count(*) FROM (SELECT r.nrpedexol, i.cdproduto, sum(i.qtrequisitada) AS q"
                    " FROM requisition r JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
                    " GROUP BY r.nrpedexol, i.cdproduto) x JOIN purchase_order_item p"
                    " ON p.nrpedexol = x.nrpedexol AND p.cdproduto = x.cdproduto AND abs(p.qtpedido - x.q) < 1e-9"),
              count("SELECT count(*) FROM purchase_order_item"));
    EXPECT_GT(count("SELECT count(*) FROM purchase_order_item"), 0);

    // The reloaded list shows each requisition's order, in gray, and the same orders.
    ASSERT_EQ(generated.size(), listed.size());
    std::set<QString> shown;
    for (const GridRow& row : generated) {
        EXPECT_EQ(row.mark, host::MarkState::Gray);
        EXPECT_FALSE(row.order.isEmpty());
        shown.insert(row.order);
    }
    std::set<QString> stored;
    database->connection().each("SELECT nrpedexol FROM purchase_order", {},
                                [&](const db::ResultRow& row) { stored.insert(QString::number(row.integer(0))); });
    EXPECT_EQ(shown, stored);

    // The requisition list went with the screen.
    EXPECT_EQ(count("SELECT count(*) FROM server_list WHERE tplista = 'requisitions'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM requisition_list_item"), 0);

    // Ordered requisitions cannot be calculated again, and the refusal reads in the screen's
    // words.
    calculate();
    EXPECT_EQ(ui.errors(),
              QStringList{"Não é possível recalcular. Já foram gerados pedidos OL segundo o filtro informado."});
    EXPECT_EQ(requisitions("nrpedexol IS NULL"), 0);
}

TEST_F(OrderRoad, PreviewedOrdersRoundedToPackagesThenOneCancelledAndItsRequisitionsFreed) {
    const QDate day = host::DataProcDate("0001").addDays(6);
    setPeriod(day, day);
    calculate();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    const int64_t calculated = requisitions();
    ASSERT_GT(calculated, 1);

    struct Shown {
        QString title, gerar, resumo;
        bool cancelarIsDefault = false;
        int orders = 0, lines = 0;
        int64_t ordersStoredMeanwhile = -1;
    } shown;
    std::vector<GridRow> afterGeneration, afterCancel;
    QString firstOrder;
    onOrderScreen([&](QWidget* order, QTableView* grid) {
        ClickTitle(grid, 0);
        order->findChild<QCheckBox*>("chbArredondar")->setChecked(true);
        ui.answerDialog([&](QDialog& preview) {
            shown.title = preview.windowTitle();
            shown.gerar = preview.findChild<QPushButton*>("btnGerar")->text();
            shown.resumo = preview.findChild<QLabel*>("lblResumo")->text();
            shown.cancelarIsDefault = preview.findChild<QPushButton*>("btnCancelar")->isDefault();
            const QAbstractItemModel* tree = preview.findChild<QTreeView*>("tvwPedidos")->model();
            shown.orders = tree->rowCount();
            for (int i = 0; i < shown.orders; ++i) shown.lines += tree->rowCount(tree->index(i, 0));
            shown.ordersStoredMeanwhile = count("SELECT count(*) FROM purchase_order");
            preview.resize(1000, 520);
            EXPECT_TRUE(preview.grab().save(QDir(KRV_SCREENS_DIR).filePath("krv52010-previa-pedidos.png")));
            preview.findChild<QPushButton*>("btnGerar")->click();
            return preview.result();
        });
        QDir().mkpath(KRV_SCREENS_DIR);
        order->findChild<QAbstractButton*>("sbtConfirma")->click();
        afterGeneration = GridRows(grid);

        // The first row's order, chosen by its mark, cancelled after "Sim".
        firstOrder = afterGeneration.at(0).order;
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 0)).center());
        ui.answerModal(host::mrYes);
        order->findChild<QAbstractButton*>("sbtCancelaPedido")->click();
        afterCancel = GridRows(grid);
    });
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_TRUE(ui.allAnswersUsed());

    // The preview showed every order and line that were then written, and nothing was
    // written while it was open.
    const int64_t orders = count("SELECT count(*) FROM purchase_order");
    EXPECT_EQ(shown.title, "Prévia dos Pedidos");
    EXPECT_EQ(shown.ordersStoredMeanwhile, 0);
    EXPECT_EQ(shown.orders, orders);
    EXPECT_EQ(shown.lines, count("SELECT count(*) FROM purchase_order_item"));
    EXPECT_EQ(shown.gerar, "Gerar " + QString::number(orders) + " pedidos");
    EXPECT_TRUE(shown.cancelarIsDefault);
    EXPECT_TRUE(shown.resumo.startsWith(QString::number(orders) + " pedidos com ")) << shown.resumo.toStdString();

    // Each line is whole packages of its product, at least what was needed.
    EXPECT_EQ(count("SELECT count(*) FROM purchase_order_item i JOIN product p ON p.cdproduto = i.cdproduto"
                    " WHERE abs(i.qtpedido / p.qtembalagem - round(i.qtpedido / p.qtembalagem)) > 0.000001"
                    " OR i.qtpedido < i.qtnecessaria - 0.000001 OR i.qtpedido >= i.qtnecessaria + p.qtembalagem"),
              0);

    // The success message, then the cancellation's; the cancelled order's requisitions are open again.
    const int64_t freed = count("SELECT count(*) FROM requisition WHERE nrpedexol IS NULL");
    EXPECT_GT(freed, 0);
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information),
              QStringList({generated(), "1 pedido(s) cancelado(s); " + QString::number(freed) +
                                            " requisição(ões) sem pedido de novo."}));
    EXPECT_EQ(ui.messages.at(ui.messages.size() - 2).text,
              "Cancelar o pedido " + firstOrder + "? As requisições voltam a ficar sem pedido.");
    EXPECT_EQ(count("SELECT count(*) FROM purchase_order_cancellation WHERE nrpedexol = ? AND cdoperador = 'ADMIN'",
                    {int64_t(firstOrder.toLongLong())}),
              1);
    EXPECT_EQ(count("SELECT count(*) FROM purchase_order"), orders) << "the cancelled order is kept";
    int open = 0;
    for (const GridRow& row : afterCancel) open += row.order.isEmpty();
    EXPECT_EQ(open, freed) << "the reloaded list shows them without order";
}

TEST_F(OrderRoad, ChosenShiftsAndGroupingsThenConsolidatedOrdersInTheSameScreen) {
    const QDate first = host::DataProcDate("0001").addDays(3);
    setPeriod(first, first.addDays(1));
    // Lunch's first shift and breakfast's first shift; two groupings.
    screen->findChild<QRadioButton*>("rbtLTurno")->click();
    ui.answerList("_000100011_000100021_");
    click("sbtTurno");
    screen->findChild<QRadioButton*>("rbtLAgrupProd")->click();
    ui.answerList("_01        0101_02        0203_");
    click("sbtAgrupProd");
    calculate();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    const int64_t chosen =
        requisitions("cdturno = '1' AND cdservfili IN ('0001', '0002') AND cdsubgrprod IN ('0101', '0203')");
    ASSERT_GT(chosen, 1);

    std::vector<GridRow> afterFirst, afterSecond;
    onOrderScreen([&](QWidget* order, QTableView* grid) {
        ASSERT_EQ(int64_t(GridRows(grid).size()), chosen) << "only the chosen shifts and groupings";
        // One row per service, then the rest consolidated in lunch, not per shift.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, 0)).center());
        confirm(order);
        afterFirst = GridRows(grid);

        order->findChild<QCheckBox*>("chbGerarPorTurno")->setChecked(false);
        order->findChild<QCheckBox*>("chbServico")->click();
        order->findChild<QLineEdit*>("medCdServico")->setText("0002");
        ClickTitle(grid, 0);
        confirm(order);
        afterSecond = GridRows(grid);
    });
    EXPECT_EQ(ui.texts(host::MsgDlgType::Information),
              QStringList({generated().section('\n', 0, 0) + "\n1 pedido gerado: número 1.", generated(1)}));
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    ASSERT_EQ(int64_t(afterFirst.size()), chosen);
    int ordered = 0;
    for (const GridRow& row : afterFirst) ordered += !row.order.isEmpty();
    EXPECT_EQ(ordered, 1);
    for (const GridRow& row : afterSecond) EXPECT_FALSE(row.order.isEmpty());

    EXPECT_EQ(requisitions("nrpedexol IS NULL"), requisitions("1 = 1") - chosen);
    EXPECT_EQ(count("SELECT count(*) FROM purchase_order WHERE cdservfili = '0002' AND cdturno IS NULL"),
              count("SELECT count(*) FROM purchase_order") - 1);
    EXPECT_EQ(count("SELECT count(*) FROM server_list WHERE tplista = 'requisitions'"), 0);
}

TEST_F(OrderRoad, EveryBranchListedAndConsolidatedInOne) {
    const QDate day = host::DataProcDate("0001").addDays(5);
    setPeriod(day, day);
    auto* branch = screen->findChild<QLineEdit*>("medCdFilial");
    branch->setText("0002");
    calculate();
    branch->setText("0001");
    calculate();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    ASSERT_GT(count("SELECT count(*) FROM requisition WHERE cdfilial = '0002'"), 0);

    std::set<QString> branchesListed;
    onOrderScreen([&](QWidget* order, QTableView* grid) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(order));
        order->findChild<QRadioButton*>("rbtTFilial")->setFocus(Qt::OtherFocusReason);
        order->findChild<QRadioButton*>("rbtTFilial")->click();  // the click applies it
        for (const GridRow& row : GridRows(grid)) branchesListed.insert(row.branch);

        order->findChild<QCheckBox*>("chbFilial")->click();
        order->findChild<QLineEdit*>("medCdFilial")->setText("0001");
        ClickTitle(grid, 0);
        confirm(order);
    });
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_EQ(branchesListed, (std::set<QString>{"0001", "0002"}));
    // Every requisition of both branches was listed, also of services that the requisition
    // screen's branch does not have (0002's afternoon snack), and is in an order of branch 0001.
    EXPECT_GT(count("SELECT count(*) FROM requisition WHERE cdfilial = '0002' AND cdservfili = '0003'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM requisition WHERE nrpedexol IS NULL"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM purchase_order WHERE cdfilial <> '0001'"), 0);
    EXPECT_EQ(count("SELECT count(*) FROM requisition r JOIN purchase_order o ON o.nrpedexol = r.nrpedexol"
                    " WHERE o.dtpedido <> r.dtrequipedido OR o.cdservfili <> r.cdservfili"),
              0);
}

TEST_F(OrderRoad, AScreenLeftOpenForDaysCarriesOnWhenItsListsAreGone) {
    const QDate day = host::DataProcDate("0001").addDays(1);
    setPeriod(day, day);
    calculate();
    ASSERT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_EQ(ui.statuses.filter("Cálculo concluído: ").size(), 1);
    EXPECT_TRUE(ui.statuses.back().startsWith("Cálculo concluído: ")) << ui.statuses.back().toStdString();
    const int64_t services = count("SELECT max(nrlista) FROM server_list WHERE tplista = 'services'");

    const auto daysFromNow = [](int days) {
        const QDateTime at = QDateTime::currentDateTime().addDays(days);
        return DateTime::fromParts(at.date().year(), at.date().month(), at.date().day(), at.time().hour(),
                                   at.time().minute(), at.time().second());
    };
    // Two days without a use: the lists are still there, and using them dates them anew.
    database->connection().execute("UPDATE server_list SET dtuso = ?, dtcriacao = ?",
                                   {db::Timestamp{daysFromNow(-2)}, db::Timestamp{daysFromNow(-2)}});
    calculate();
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_EQ(count("SELECT max(nrlista) FROM server_list WHERE tplista = 'services'"), services);
    EXPECT_EQ(count("SELECT count(*) FROM server_list WHERE tplista = 'services' AND dtuso <= dtcriacao"), 0);

    // Purged while the screen kept their numbers (unused for longer than the server keeps
    // them): every action gets new lists once and goes on without a word.
    const auto purge = [&] {
        server::purgeStaleLists(database->connection(), daysFromNow(server::ListStore::kIdleDays + 1));
    };
    purge();
    calculate();
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_GT(count("SELECT max(nrlista) FROM server_list WHERE tplista = 'services'"), services);
    purge();
    size_t listed = 0;
    onOrderScreen([&](QWidget*, QTableView* grid) { listed = GridRows(grid).size(); });
    EXPECT_TRUE(ui.errors().isEmpty()) << ui.errors().join("; ").toStdString();
    EXPECT_EQ(int64_t(listed), requisitions());
}

}  // namespace
