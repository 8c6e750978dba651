#pragma once
#include <string>
#include <string_view>

#include "server/storage/Database.h"

namespace krv::server {

// The newest schema version this build knows.
int latestSchemaVersion();

// Brings the database up to the newest schema (or to `upTo`, for a test of a later step)
// in one exclusive transaction, recording each step in schema_version; steps already
// applied are skipped. Refuses a database written by a newer build rather than guess at
// its tables.
void migrate(db::Connection& connection, int upTo = latestSchemaVersion());

int schemaVersion(db::Connection& connection);  // after migrate()

// The random name the database was given when its schema reached it, told to clients.
std::string databaseIdentity(db::Connection& connection);

// A migration's text in one engine's words: "{code COLUMN SIZE}", "{name COLUMN SIZE}",
// "{date COLUMN}", "{timestamp COLUMN}", "{optionaltimestamp COLUMN}" (NULL allowed), "{digitsonly COLUMN}" and the bare types
// "{real}", "{bigint}", "{blob}", "{identity}", "{now}", "{keyed}" (table options).
std::string expand(std::string_view migration, const db::Dialect& dialect);

}  // namespace krv::server
