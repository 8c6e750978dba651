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

protected:
    std::unique_ptr<Connection> connect() override;

private:
    std::string url_;
    std::string description_;  // the URL without its password
};

}  // namespace krv::server::db
