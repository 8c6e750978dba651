#include "server/Storage.h"

#include <stdexcept>

namespace krv::server {

namespace {
constexpr int kBusyTimeoutMs = 10000;
}  // namespace

namespace {

SQLite::Database open(const std::string& path) {
    try {
        SQLite::Database db(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_NOMUTEX, kBusyTimeoutMs);
        db.exec("PRAGMA journal_mode = WAL");
        db.exec("PRAGMA foreign_keys = ON");
        return db;
    } catch (const SQLite::Exception& e) {
        throw std::runtime_error("Não foi possível abrir o banco de dados " + path + ": " + e.what());
    }
}

}  // namespace

Connection::Connection(const std::string& path) : db_(open(path)) {}

Connection::Lease Connection::statement(const std::string& sql) {
    auto found = statements_.find(sql);
    if (found == statements_.end())
        found = statements_.emplace(sql, std::make_unique<SQLite::Statement>(db_, sql)).first;
    found->second->clearBindings();
    return Lease(*found->second);
}

// A write nested in another joins the outer transaction, so helpers that write can be
// composed without knowing whether their caller already opened one.
Connection::Transaction::Transaction(Connection& c) : connection_(c) {
    if (connection_.inTransaction_) {
        open_ = false;
        return;
    }
    connection_.db_.exec("BEGIN IMMEDIATE");
    connection_.inTransaction_ = true;
}

Connection::Transaction::~Transaction() {
    if (!open_) return;
    connection_.db_.tryExec("ROLLBACK");
    connection_.inTransaction_ = false;
}

void Connection::Transaction::commit() {
    if (!open_) return;
    connection_.db_.exec("COMMIT");
    connection_.inTransaction_ = false;
    open_ = false;
}

Storage::Storage(std::string path) : path_(std::move(path)) {}

Connection& Storage::connection() {
    std::lock_guard lock(mutex_);
    auto& slot = connections_[std::this_thread::get_id()];
    if (!slot) slot = std::make_unique<Connection>(path_);
    return *slot;
}

}  // namespace krv::server
