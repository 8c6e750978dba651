#include "host/session/NetConnection.h"

#include <chrono>

#include "core/Errors.h"
#include "host/models/Convert.h"
#include "rpc/Client.h"
#include "host/session/ServerOutcome.h"
#include "host/session/Session.h"

namespace krv::host {

namespace {

// Every connection of the process goes to the session's server as the session's operator:
// a screen's BeforeConnect says only where, so no screen can forget the login or TLS.
void loginAsSession(rpc::Endpoint& endpoint) {
    const SessionInfo& session = CurrentSession();
    if (!session.password.isEmpty()) {
        endpoint.operatorName = ToStd(session.operador);
        endpoint.password = ToStd(session.password);
    }
    endpoint.tls = session.tls;
    endpoint.caFile = ToStd(session.caFile);
    // A month of a large company's requisitions travels a fraction of its size; a server that
    // does not compress is simply spoken to in clear.
    endpoint.compression = true;
    endpoint.answersInParts = true;
    if (endpoint.host == ToStd(session.host) && endpoint.port == session.port)
        for (const QString& more : session.moreServers) endpoint.alternates.push_back(rpc::parseEndpoint(ToStd(more)));
}

}  // namespace

NetArg::NetArg(const QString& text) : value_(ToVariant(text)) {}
NetArg::NetArg(const QDate& date) : value_(ToVariant(date)) {}

void NetArg::WriteBack(const Variant& after) const {
    if (text_) *text_ = ToQString(after);
    if (variant_) *variant_ = after;
    if (number_) *number_ = after.asDouble();
}

NetArg Ref(QString& target) {
    NetArg arg;
    arg.value_ = ToVariant(target);
    arg.text_ = &target;
    return arg;
}

NetArg Ref(Variant& target) {
    NetArg arg;
    arg.value_ = target;
    arg.variant_ = &target;
    return arg;
}

NetArg Ref(double& target) {
    NetArg arg;
    arg.value_ = Variant(target);
    arg.number_ = &target;
    return arg;
}

TNetConnection::TNetConnection(QObject* parent) : QObject(parent), client_(std::make_unique<rpc::Client>()) {}

TNetConnection::~TNetConnection() = default;

bool TNetConnection::Connected() const { return client_->connected(); }

void TNetConnection::SetConnected(bool on) {
    if (!on) {
        client_->close();
        return;
    }
    if (Connected()) return;
    if (BeforeConnect) BeforeConnect(*this);
    if (Port <= 0 || Port > 65535)
        throw ENetError("Porta inválida para o servidor " + ToStd(Host) + ": " + std::to_string(Port));
    rpc::Endpoint endpoint;
    endpoint.host = ToStd(Host);
    endpoint.port = uint16_t(Port);
    endpoint.token = ToStd(Token);
    loginAsSession(endpoint);
    endpoint.timeout = std::chrono::milliseconds(TimeoutMs);
    client_->connect(endpoint);
}

Variant TNetConnection::Call(const QString& method, const std::vector<NetArg>& args) {
    SetConnected(true);
    std::vector<Variant> values;
    values.reserve(args.size());
    for (const NetArg& arg : args) values.push_back(arg.Value());
    // The client closes itself on a transport failure, so the next call reconnects.
    const Variant outcome = client_->call(ToStd(ServerName), ToStd(method), values);
    for (size_t i = 0; i < args.size() && i < values.size(); ++i) args[i].WriteBack(values[i]);
    if (ThrowException) ServerPayload(outcome);
    return outcome;
}

}  // namespace krv::host
