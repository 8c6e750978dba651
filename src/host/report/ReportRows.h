#pragma once
#include <QString>

#include "core/DataPacket.h"
#include "core/Params.h"

namespace krv::host {

class TNetConnection;

// The server object that holds the reports' queries.
inline constexpr const char* kReportServer = "Host.rdmRelatorio";

// The rows of report `code` for these parameters, asked of the connection's server
// (kReportServer): the parameters travel as [name, value] pairs, never as SQL. Throws
// EServerError with the server's text for a refused parameter, ENetError for the transport.
DataPacket GetReportRows(TNetConnection& connection, const QString& code, const TParams& params);

}  // namespace krv::host
