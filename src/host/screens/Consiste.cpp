#include "host/screens/Consiste.h"

#include <QWidget>
#include <algorithm>
#include <array>
#include <stdexcept>

#include "core/Errors.h"
#include "host/dialogs/HostUi.h"
#include "host/models/Convert.h"
#include "host/session/ServerOutcome.h"

namespace krv::host {

Variant CheckResultServ(const Variant& result, bool raise, int /*helpContext*/) {
    if (raise) return ServerPayload(result);
    Variant value;
    if (!ServerSucceeded(result, value)) MensErro(ToQString(value), true);
    return value;
}

QString NomeSemana(const DateTime& date) {
    static const std::array<const char*, 7> names = {"Domingo", "Segunda", "Terça", "Quarta",
                                                     "Quinta",  "Sexta",   "Sábado"};
    return QString::fromUtf8(names[size_t(date.dayOfWeek())]);
}

QString NomeSemana(const QDate& date) { return NomeSemana(ToDateTime(date)); }

Variant iif(bool condition, const Variant& whenTrue, const Variant& whenFalse) {
    return condition ? whenTrue : whenFalse;
}

QString iif(bool condition, const QString& whenTrue, const QString& whenFalse) {
    return condition ? whenTrue : whenFalse;
}

QString iif(bool condition, const char* whenTrue, const char* whenFalse) {
    return QString::fromUtf8(condition ? whenTrue : whenFalse);
}

void MensErro(const QString& text, bool abort) {
    HostUi::instance().messageDlg(text, MsgDlgType::Error, mbOK);
    if (abort) throw EAbort();
}

void MensErroEm(QWidget* control, const QString& text) {
    if (!control->isVisible() || !control->isEnabled())
        throw std::logic_error("Não é possível dar o foco a um controle invisível ou desabilitado.");
    control->setFocus(Qt::OtherFocusReason);
    MensErro(text, true);
    throw EAbort();  // MensErro with its abort flag never returns
}

bool EmptyString(const QString& text) { return text.trimmed().isEmpty(); }

QString Ajusta(const QString& code, int kind) {
    if (kind != ajRequisitionBranch && kind != ajOrderBranch && kind != ajService)
        throw std::invalid_argument("Ajusta: tipo de código desconhecido " + std::to_string(kind));
    constexpr int width = 4;
    const QString trimmed = code.trimmed();
    const bool digitsOnly = !trimmed.isEmpty() &&
                            std::all_of(trimmed.begin(), trimmed.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (digitsOnly) return trimmed.rightJustified(width, u'0');
    return trimmed.toUpper();
}

bool PodeSerFilial(const QString& code) {
    constexpr qsizetype width = 4;
    return !code.isEmpty() && code.size() <= width && code != u"T" &&
           std::all_of(code.begin(), code.end(), IsAsciiLetterOrDigit);
}

void SetChildEnabled(QWidget* group, bool on) {
    if (!group) return;
    for (QWidget* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) child->setEnabled(on);
}

}  // namespace krv::host
