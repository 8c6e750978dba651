#pragma once
#include <QString>
#include <QStringList>

#include "host/dialogs/HostUi.h"

namespace krv::host {

// A screen's message table: every user-facing text is looked up by key, so the texts can
// be changed in one place. Each line is "key|text"; the text may itself contain "|".
class TMessages {
public:
    QStringList Messages;

    // Text of the first line whose key matches (case-insensitive); "" when there is none.
    QString Msg(const QString& key) const;

    // Shows the key's text (the key itself when the table has no such line, so the user
    // never sees an empty box) and returns the modal result: mrYes 6, mrNo 7, mrOk 1.
    int ShowMsg(const QString& key, MsgDlgType type, int buttons, int helpContext = 0) const;
};

}  // namespace krv::host
