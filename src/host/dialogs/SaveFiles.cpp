#include "host/dialogs/SaveFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include "host/dialogs/HostUi.h"

namespace krv::host {

namespace {

const char* const kFolderKey = "arquivos/ultimaPasta";

QSettings Settings() { return QSettings(QStringLiteral("krv"), QStringLiteral("krv-host")); }

}  // namespace

QString WithFilterSuffix(const QString& path, const QString& nameFilter) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    QStringList suffixes;
    for (auto it = pattern.globalMatch(nameFilter); it.hasNext();) suffixes << it.next().captured(1);
    if (suffixes.isEmpty()) return path;
    for (const QString& suffix : suffixes)
        if (path.endsWith("." + suffix, Qt::CaseInsensitive) && path.size() > suffix.size() + 1 &&
            !path.endsWith("/." + suffix))
            return path;
    return path + "." + suffixes.front();
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
