#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>
#include <memory>

#include "host/session/QtTranslations.h"

using namespace krv::host;

// Qt's own dialogs take their buttons and labels from Qt's translations.
TEST(QtTranslations, QtsOwnTextsComeInPortuguese) {
    std::unique_ptr<QTranslator> translator(InstallQtTranslations(qApp));
    ASSERT_NE(translator, nullptr) << "Qt's pt_BR translations are installed by scripts/setup";
    QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Open);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), "Cancelar");
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), "Imprimir");

    translator.reset();  // the rest of the program sees Qt's own texts again
    EXPECT_EQ(QCoreApplication::translate("QPrintDialog", "Print"), "Print");
}
