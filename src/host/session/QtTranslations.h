#pragma once

class QObject;
class QTranslator;

namespace krv::host {

// Puts Qt's own texts (the file, print and page-setup dialogs, the standard buttons of a
// prompt) in Brazilian Portuguese, from Qt's installed translations. The translator is a
// child of `owner` and stays installed until deleted. Nullptr when the translations are
// not installed: those texts then stay in English.
QTranslator* InstallQtTranslations(QObject* owner);

}  // namespace krv::host
