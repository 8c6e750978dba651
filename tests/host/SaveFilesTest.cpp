// What the save dialogs answer: the chosen filter's extension, a proposed name that is safe
// as a file name, and the folder they open in.
#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "host/dialogs/SaveFiles.h"
#include "support/ScriptedHostUi.h"

using namespace krv::host;

TEST(SaveFiles, TheChosenFiltersExtensionIsAppendedWhenMissing) {
    const struct {
        const char* path;
        const char* filter;
        const char* saved;
    } cases[] = {
        {"/tmp/relatorio", "PDF (*.pdf)", "/tmp/relatorio.pdf"},
        {"/tmp/relatorio.PDF", "PDF (*.pdf)", "/tmp/relatorio.PDF"},
        {"/tmp/relatorio.csv", "PDF (*.pdf)", "/tmp/relatorio.csv.pdf"},
        {"/tmp/previsao-0071", "Arquivos CSV (*.csv)", "/tmp/previsao-0071.csv"},
        {"/tmp/v1.2", "CSV (*.csv *.txt)", "/tmp/v1.2.csv"},
        {"/tmp/lista.txt", "CSV (*.csv *.txt)", "/tmp/lista.txt"},
        {"/tmp/.pdf", "PDF (*.pdf)", "/tmp/.pdf.pdf"},  // only an extension is no name
        {"/tmp/qualquer", "Todos (*)", "/tmp/qualquer"},
    };
    for (const auto& c : cases) EXPECT_EQ(WithFilterSuffix(c.path, c.filter), c.saved) << c.path << " " << c.filter;
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
