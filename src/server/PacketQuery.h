#pragma once
#include <vector>

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Statement.h>

#include "core/DataPacket.h"

namespace krv::server {

// Steps through a bound query and returns its rows as a packet with the declared fields:
// column i fills field i, converted to the field's type (NULL stays null; dates come
// from ISO text). The declared list is the packet's contract with the client.
DataPacket queryPacket(SQLite::Statement& query, std::vector<FieldDef> fields);

}  // namespace krv::server
