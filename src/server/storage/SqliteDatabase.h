#pragma once
#include <string>

#include "server/storage/Database.h"

namespace krv::server::db {

// An SQLite file: the embedded default. WAL, so readers never wait for the writer; a
// busy time-out, so writers queue; IMMEDIATE transactions, so a write never has to
// upgrade a read lock (which would fail at once instead of waiting).
class SqliteDatabase : public Database {
public:
    explicit SqliteDatabase(std::string path) : path_(std::move(path)) {}
    const std::string& description() const override { return path_; }

protected:
    std::unique_ptr<Connection> connect() override;

private:
    std::string path_;
};

}  // namespace krv::server::db
