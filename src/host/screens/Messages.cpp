#include "host/screens/Messages.h"

namespace krv::host {

QString TMessages::Msg(const QString& key) const {
    for (const QString& line : Messages) {
        const qsizetype bar = line.indexOf(u'|');
        if (bar >= 0 && QStringView(line).left(bar).compare(key, Qt::CaseInsensitive) == 0) return line.mid(bar + 1);
    }
    return {};
}

int TMessages::ShowMsg(const QString& key, MsgDlgType type, int buttons, int /*helpContext*/) const {
    const QString text = Msg(key);
    return HostUi::instance().messageDlg(text.isEmpty() ? key : text, type, buttons);
}

}  // namespace krv::host
