#include "support/ButtonKeys.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include "host/controls/ToolButtons.h"

namespace krv::test {

void ExpectButtonKeys(QWidget* screen, const std::vector<ButtonKey>& cases) {
    QStringList named;
    for (const ButtonKey& c : cases) {
        SCOPED_TRACE(c.button->objectName().toStdString());
        named << c.button->objectName();
        EXPECT_TRUE(c.button->toolTip().endsWith(" (" + c.key.toString(QKeySequence::NativeText) + ")"))
            << c.button->toolTip().toStdString();
        QSignalSpy clicks(c.button, &QAbstractButton::clicked);
        const bool enabled = c.button->isEnabled();
        c.focus->setFocus(Qt::OtherFocusReason);
        QTest::keySequence(c.focus, c.key);
        EXPECT_EQ(clicks.count(), enabled ? 1 : 0);
    }
    // The screen's own window: a window it opened has buttons of its own.
    for (const auto* button : screen->findChildren<host::TButtonFlat*>())
        if (button->window() == screen->window())
            EXPECT_TRUE(named.contains(button->objectName())) << button->objectName().toStdString() << " has no key";
}

}  // namespace krv::test
