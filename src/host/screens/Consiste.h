#pragma once
#include <QDate>
#include <QString>
#include "host/controls/CodeChars.h"

#include "core/DateTime.h"
#include "core/Variant.h"

class QWidget;

namespace krv::host {

// The payload of a server method's outcome [true, payload]. For [false, message]: with
// `raise` true throws EServerError(message) (see ServerPayload, which the layers below the
// screens use); with false shows the message as an error and ends the action silently
// (EAbort). Anything that is not a two-element array led by a bool throws
// EServerError("Resposta inválida do servidor") either way.
Variant CheckResultServ(const Variant& result, bool raise = true, int helpContext = 0);

// "Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado".
QString NomeSemana(const DateTime& date);
QString NomeSemana(const QDate& date);

Variant iif(bool condition, const Variant& whenTrue, const Variant& whenFalse);
QString iif(bool condition, const QString& whenTrue, const QString& whenFalse);
QString iif(bool condition, const char* whenTrue, const char* whenFalse);

// Shows `text` as an error through HostUi; with `abort` true then ends the running action
// (throws EAbort, which the event guard swallows).
void MensErro(const QString& text, bool abort = true);
// Gives the focus to `control`, then MensErro(text, true). Like the platform, a control that
// cannot take the focus (a screen not shown yet, a disabled group) is an error of its own,
// raised before any message.
[[noreturn]] void MensErroEm(QWidget* control, const QString& text);

// True when the text is empty or only blanks.
bool EmptyString(const QString& text);

// Code kinds that Ajusta knows; all three are four characters wide.
enum AjustaKind { ajRequisitionBranch = 2, ajOrderBranch = 4, ajService = 5 };

// A typed code in the form that server packets carry. One rule for every kind: blanks are
// trimmed; a code of digits only is left-padded with zeros to 4 characters ("1" -> "0001",
// " 0001" -> "0001"; "12345" stays); any other code is only trimmed and upper-cased.
// `kind` is 2 (requisition screen's branch), 4 (order screen's branch) or 5 (service).
QString Ajusta(const QString& code, int kind);

// True when `code` can name one branch: one to four ASCII letters or digits, and not "T",
// which the server's branch lookup takes for every branch.
bool PodeSerFilial(const QString& code);

// Enables or disables every control placed directly in `group`; the group itself keeps its state.
void SetChildEnabled(QWidget* group, bool on);

}  // namespace krv::host
