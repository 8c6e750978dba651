#pragma once
#include <QString>

namespace krv::host {

// `path` ending in the extension of `nameFilter` ("PDF (*.pdf)"): a name typed without it,
// or with another one, gets the filter's first. A filter without extensions leaves it be.
QString WithFilterSuffix(const QString& path, const QString& nameFilter);

// Where a save dialog opens: the folder of the last file saved, else the user's documents.
QString SaveFolder();
void RememberSaveFolder(const QString& savedPath);

// Tells in the status bar where a file went.
void ShowSaved(const QString& path);

// A file name from its parts, joined by "-", with no character a file system refuses and no
// dot, so that the extension is the only one: "KRV520-0001-07-12-2026-a-13-12-2026".
QString FileNameOf(const QStringList& parts);

}  // namespace krv::host
