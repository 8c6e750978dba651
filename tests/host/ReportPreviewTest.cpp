// The report preview takes the page keys as soon as it opens, with no click into the pages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsView>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScrollBar>
#include <QTest>

#include "host/dialogs/ReportPreviewDialog.h"

using namespace krv;

TEST(ReportPreview, PageKeysWorkAsSoonAsItOpens) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    host::ReportPreviewDialog dialog(printer, "Requisição de Produtos", [](QPrinter& target) {
        QPainter painter(&target);
        for (int page = 1; page <= 3; ++page) {
            if (page > 1) target.newPage();
            painter.drawText(100, 100, QString("Página %1").arg(page));
        }
    });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ASSERT_NE(dialog.Pages(), nullptr);
    EXPECT_EQ(QApplication::focusWidget(), dialog.Pages());
    EXPECT_EQ(dialog.windowTitle(), "Requisição de Produtos");

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    EXPECT_EQ(dialog.Preview()->currentPage(), 3);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    EXPECT_EQ(dialog.Preview()->currentPage(), 1);
    QScrollBar* scroll = dialog.Pages()->verticalScrollBar();
    const int top = scroll->value();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageDown);
    EXPECT_GT(scroll->value(), top);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp);
    EXPECT_EQ(scroll->value(), top);
}
