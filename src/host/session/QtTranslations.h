#pragma once

class QObject;
class QTranslator;

namespace krv::host {

// Puts Qt's own texts (the file, print and page-setup dialogs, the standard buttons of a
// prompt) in Brazilian Portuguese, from Qt's installed translations. The translator is a
// child of `owner` and stays installed until deleted. Nullptr when the translations are
// not installed: those texts then stay in English.
QTranslator* InstallQtTranslations(QObject* owner);

// Dates and numbers the Brazilian way, also where Qt's own dialogs take them from the
// system's locale (the file dialog's dates) rather than from the program's. Called before the
// application object, which reads the system's locale once; a locale the user forces with
// LC_ALL is left as it is.
void UseBrazilianLocale();

}  // namespace krv::host
