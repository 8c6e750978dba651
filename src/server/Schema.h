#pragma once

namespace krv::server {

class Connection;

// The newest schema version this build knows.
int latestSchemaVersion();

// Brings the database up to the newest schema, each step in its own transaction and
// recorded in schema_version; steps already applied are skipped. Refuses a database
// written by a newer build rather than guess at its tables.
void migrate(Connection& connection);

int schemaVersion(Connection& connection);  // 0 for a fresh file

}  // namespace krv::server
