#pragma once
#include <string>

namespace krv::server {

// The backup of a PostgreSQL database: pg_dump --format=custom into `file`, then checked with
// pg_restore --list. The password of the URL reaches pg_dump in its environment (PGPASSWORD),
// never on its command line, which any user's ps shows; without one, pg_dump reads ~/.pgpass.
// Throws BackupFailure, leaving no file, when either program fails.
void dumpPostgres(const std::string& url, const std::string& file);

}  // namespace krv::server
