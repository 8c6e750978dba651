#pragma once
#include <QString>

#include "core/Variant.h"

namespace krv::host {

// The payload of a server method's outcome [true, payload]; [false, message] throws
// EServerError(message), and anything that is not a two-element array led by a bool throws
// EServerError("Resposta inválida do servidor").
Variant ServerPayload(const Variant& result);

// True for [true, payload]: `value` is the payload; false for [false, message]: `value` is the message.
// Throws like ServerPayload for anything else.
bool ServerSucceeded(const Variant& result, Variant& value);

// The number of a server-held list from the payload of GetNrListaServ, GetNrListaTurno or
// a calculation: element 0 of an array; anything else is an answer no caller can use.
QString ListNumber(const Variant& payload);

}  // namespace krv::host
