#pragma once
#include <string>

#include "server/storage/Database.h"

namespace krv::server::db {

// A PostgreSQL database that several server processes share. Writes run SERIALIZABLE and
// are retried on a serialization failure, so concurrent processes never need to agree on
// anything but the database itself.
class PostgresDatabase : public Database {
public:
    explicit PostgresDatabase(std::string url);
    const std::string& description() const override { return description_; }
    // Writers lock rows, not the database: one operator's calculation need not hold back
    // another's list making or order. Kept small, since transactions that touch the same
    // requisitions only end in serialization retries.
    unsigned writersAtOnce() const override { return 4; }

protected:
    std::unique_ptr<Connection> connect() override;

private:
    std::string url_;
    std::string description_;  // the URL without its password
};

// A URL split for a program that takes the password elsewhere (pg_dump reads PGPASSWORD):
// the URL without it, and the password as typed in the URL, decoded; empty when it has none.
struct PostgresLogin {
    std::string url;
    std::string password;
};
PostgresLogin splitPassword(const std::string& url);

}  // namespace krv::server::db
