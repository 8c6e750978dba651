#pragma once

namespace krv::host {

// Qt's own texts (the buttons of its dialogs, the headings and errors of QCommandLineParser)
// in Brazilian Portuguese, from the installed Qt translations (qt6-translations-l10n). Without
// them Qt keeps its English; nothing else changes. Needs the application object.
void InstallQtTranslations();

}  // namespace krv::host
