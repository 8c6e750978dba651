// What the save dialogs answer: the chosen filter's extension, a proposed name that is safe
// as a file name, and the folder they open in.
#include <gtest/gtest.h>

#include <QAbstractProxyModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeView>

#include "host/dialogs/SaveFiles.h"
#include "support/ScriptedHostUi.h"

using namespace krv::host;

TEST(SaveFiles, TheChosenFiltersExtensionIsAppendedWhenMissing) {
    const char* const both = "PDF (*.pdf);;CSV (*.csv)";
    const struct {
        const char* path;
        const char* filter;
        const char* saved;
        const char* offered = "";
    } cases[] = {
        {"/tmp/relatorio.csv", "PDF (*.pdf)", "/tmp/relatorio.csv", both},  // the type follows the name
        {"/tmp/relatorio.CSV", "PDF (*.pdf)", "/tmp/relatorio.CSV", both},
        {"/tmp/relatorio.txt", "PDF (*.pdf)", "/tmp/relatorio.txt.pdf", both},  // not offered
        {"/tmp/.csv", "PDF (*.pdf)", "/tmp/.csv.pdf", both},
        {"/tmp/relatorio", "PDF (*.pdf)", "/tmp/relatorio.pdf"},
        {"/tmp/relatorio.PDF", "PDF (*.pdf)", "/tmp/relatorio.PDF"},
        {"/tmp/relatorio.csv", "PDF (*.pdf)", "/tmp/relatorio.csv.pdf"},
        {"/tmp/previsao-0071", "Arquivos CSV (*.csv)", "/tmp/previsao-0071.csv"},
        {"/tmp/v1.2", "CSV (*.csv *.txt)", "/tmp/v1.2.csv"},
        {"/tmp/lista.txt", "CSV (*.csv *.txt)", "/tmp/lista.txt"},
        {"/tmp/.pdf", "PDF (*.pdf)", "/tmp/.pdf.pdf"},  // only an extension is no name
        {"/tmp/qualquer", "Todos (*)", "/tmp/qualquer"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithFilterSuffix(c.path, c.filter, c.offered), c.saved) << c.path << " " << c.filter;
}

TEST(SaveFiles, ProposedNamesHaveNoDotsNorRefusedCharacters) {
    EXPECT_EQ(FileNameOf({"KRV520", "0001", "07/12/2026", "a", "13/12/2026"}), "KRV520-0001-07-12-2026-a-13-12-2026");
    EXPECT_EQ(FileNameOf({"previsao", "", " 0071 ", "a.b", "c:d*e"}), "previsao-0071-a-b-c-d-e");
    EXPECT_EQ(FileNameOf({}), "");
}

TEST(SaveFiles, OpensInTheDocumentsThenInTheLastFolderWhileItExists) {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString first = QDir(documents).exists() ? documents : QDir::homePath();
    EXPECT_EQ(SaveFolder(), first);
    {
        QTemporaryDir dir;
        RememberSaveFolder(dir.filePath("salvo.csv"));
        EXPECT_EQ(SaveFolder(), dir.path());
    }
    EXPECT_EQ(SaveFolder(), first) << "a folder since removed";
}

TEST(SaveFiles, TheStatusBarSaysWhere) {
    krv::test::ScriptedHostUi ui;
    ShowSaved("/tmp/relatorio.pdf");
    EXPECT_EQ(ui.statuses, QStringList{"Arquivo salvo em /tmp/relatorio.pdf"});
}

TEST(SaveFiles, TheDialogShowsSizesAndDatesInPortugueseInColumnsAsWideAsThem) {
    QTemporaryDir dir;
    QFile file(dir.filePath("pedido.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1879048, 'x'));
    file.setFileTime(QDateTime(QDate(2026, 12, 8), QTime(10, 48, 55)), QFileDevice::FileModificationTime);
    file.close();
    QFileDialog dialog(nullptr, "Salvar", dir.path(), "PDF (*.pdf);;CSV (*.csv)");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    PrepareSaveDialog(dialog);
    auto* files = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(files, nullptr);
    const QModelIndex shown = dialog.proxyModel()->mapFromSource(files->index(dir.filePath("pedido.pdf")));
    ASSERT_TRUE(shown.isValid());
    EXPECT_EQ(shown.siblingAtColumn(1).data().toString(), "1,79 MB");
    EXPECT_EQ(shown.siblingAtColumn(3).data().toString(), "08/12/2026 10:48");
    auto* view = dialog.findChild<QTreeView*>("treeView");
    ASSERT_NE(view, nullptr);
    for (int column = 0; column < 4; ++column)
        EXPECT_EQ(view->header()->sectionResizeMode(column), QHeaderView::ResizeToContents) << column;
}
