#include "host/session/Access.h"

#include <optional>

#include "host/session/NetConnection.h"
#include "host/session/ServerOutcome.h"
#include "host/session/Session.h"

namespace krv::host {

namespace {

std::optional<SessionAccess>& cached() {
    static std::optional<SessionAccess> access;
    return access;
}

SessionAccess askServer() {
    SessionAccess access;
    try {
        const Variant answer = ServerPayload(SessionConnection().Call("GetAcesso"));
        const Variant::Array& parts = answer.array();
        access.role = QString::fromStdString(parts.at(0).asString());
        if (parts.at(1).type() == Variant::Type::Array)
            for (const Variant& branch : parts[1].array()) access.branches << QString::fromStdString(branch.asString());
        for (const Variant& refused : parts.at(2).array())
            access.refused[QString::fromStdString(refused.array().at(0).asString())] =
                QString::fromStdString(refused.array().at(1).asString());
    } catch (const std::exception&) {
        // An older server, or none yet: the screens offer everything and the server decides.
        return {};
    }
    return access;
}

}  // namespace

const SessionAccess& CurrentAccess() {
    if (!cached()) cached() = askServer();
    return *cached();
}

void ForgetAccess() { cached().reset(); }

QString Refusal(const QString& action) {
    const auto& refused = CurrentAccess().refused;
    const auto it = refused.find(action);
    return it == refused.end() ? QString() : it->second;
}

}  // namespace krv::host
