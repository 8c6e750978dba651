#pragma once
// PostgreSQL plans by the statistics of its tables, and a freshly seeded database has
// none until autovacuum gets to it, a minute or so later: a case measured before then
// measures a planner that guesses. Every PostgreSQL case, baseline and measured alike,
// starts from fresh statistics; SQLite, which has none unless asked, is left as it runs.
#include <string>

#include "server/storage/Database.h"

namespace krv::bench {

inline void analyzeIfPostgres(server::db::Connection& connection, const std::string& target) {
    if (server::db::isPostgresUrl(target)) connection.script("ANALYZE");
}

}  // namespace krv::bench
