#include "host/report/ReportRows.h"

#include "core/Errors.h"
#include "host/session/NetConnection.h"
#include "host/session/ServerOutcome.h"

namespace krv::host {

DataPacket GetReportRows(TNetConnection& connection, const QString& code, const TParams& params) {
    Variant::Array pairs;
    for (const TParam& p : params.Items()) pairs.push_back(Variant(Variant::Array{p.Name(), p.Value()}));
    const Variant payload = ServerPayload(connection.Call("GetDados", {code, Variant(std::move(pairs))}));
    if (payload.type() != Variant::Type::Packet) throw EServerError("Resposta inválida do servidor");
    return payload.packet();
}

}  // namespace krv::host
