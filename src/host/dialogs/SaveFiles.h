#pragma once
#include <QString>

class QFileDialog;

namespace krv::host {

// `path` ending in the extension of `nameFilter` ("PDF (*.pdf)"): a name typed without it,
// or with another one, gets the filter's first. A filter without extensions leaves it be. A
// name typed with the extension of another filter the dialog `offered` ("PDF (*.pdf);;CSV
// (*.csv)") keeps it: the type follows what was typed, and the name never gets two.
QString WithFilterSuffix(const QString& path, const QString& nameFilter, const QString& offered = {});

// A save dialog as Brazilians read it: sizes and dates of the files in Portuguese form, and
// the columns as wide as what they show.
void PrepareSaveDialog(QFileDialog& dialog);

// Where a save dialog opens: the folder of the last file saved, else the user's documents.
QString SaveFolder();
void RememberSaveFolder(const QString& savedPath);

// Tells in the status bar where a file went.
void ShowSaved(const QString& path);

// A file name from its parts, joined by "-", with no character a file system refuses and no
// dot, so that the extension is the only one: "KRV520-0001-07-12-2026-a-13-12-2026".
QString FileNameOf(const QStringList& parts);

}  // namespace krv::host
