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
    // The file lets one writer in at a time; a second writer thread of this process would
    // only poll the lock through the busy time-out while the first one works.
    unsigned writersAtOnce() const override { return 1; }

protected:
    std::unique_ptr<Connection> connect() override;

private:
    std::string path_;
};

}  // namespace krv::server::db
