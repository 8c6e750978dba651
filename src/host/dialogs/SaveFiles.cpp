#include "host/dialogs/SaveFiles.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTreeView>

#include "host/dialogs/HostUi.h"

namespace krv::host {

namespace {

const char* const kFolderKey = "arquivos/ultimaPasta";

QSettings Settings() { return QSettings(QStringLiteral("krv"), QStringLiteral("krv-host")); }

QStringList suffixesOf(const QString& filters) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    QStringList suffixes;
    for (auto it = pattern.globalMatch(filters); it.hasNext();) suffixes << it.next().captured(1);
    return suffixes;
}

// The file model's size and date columns in Portuguese, whatever the system's language:
// "1,79 MB", "08/12/2026 10:48".
class BrazilianFiles : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
        if (role != Qt::DisplayRole || !files || (index.column() != 1 && index.column() != 3))
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
        if (index.column() == 3) return brasil.toString(info.lastModified(), QStringLiteral("dd/MM/yyyy HH:mm"));
        if (info.isDir()) return QString();
        return brasil.formattedDataSize(info.size(), 2, QLocale::DataSizeTraditionalFormat);
    }
};

}  // namespace

QString WithFilterSuffix(const QString& path, const QString& nameFilter, const QString& offered) {
    const QStringList suffixes = suffixesOf(nameFilter);
    if (suffixes.isEmpty()) return path;
    for (const QString& suffix : suffixes + suffixesOf(offered))
        if (path.endsWith("." + suffix, Qt::CaseInsensitive) && path.size() > suffix.size() + 1 &&
            !path.endsWith("/." + suffix))
            return path;
    return path + "." + suffixes.front();
}

void PrepareSaveDialog(QFileDialog& dialog) {
    dialog.setProxyModel(new BrazilianFiles(&dialog));
    if (auto* view = dialog.findChild<QTreeView*>("treeView")) {
        view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        view->header()->setStretchLastSection(false);
    }
}

QString SaveFolder() {
    const QString last = Settings().value(kFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberSaveFolder(const QString& savedPath) {
    Settings().setValue(kFolderKey, QFileInfo(savedPath).absolutePath());
}

void ShowSaved(const QString& path) {
    HostUi::instance().showStatus("Arquivo salvo em " + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

QString FileNameOf(const QStringList& parts) {
    static const QRegularExpression refused(QStringLiteral("[\\\\/:*?\"<>|.\\s]+"));
    QStringList clean;
    for (const QString& part : parts) {
        const QString text = part.trimmed().replace(refused, QStringLiteral("-"));
        if (!text.isEmpty()) clean << text;
    }
    return clean.join('-');
}

}  // namespace krv::host
