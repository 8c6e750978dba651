#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <unordered_map>

#include <SQLiteCpp/Column.h>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace krv::server {

// One SQLite connection with its prepared statements kept for reuse.
// A connection serves one thread at a time.
class Connection {
public:
    explicit Connection(const std::string& path);

    // A prepared statement kept by the connection, lent for one use: it comes with no
    // bindings and is reset when the lease ends. A statement left mid-step would hold its
    // read snapshot open and this connection would stop seeing other threads' writes.
    class Lease {
    public:
        explicit Lease(SQLite::Statement& statement) : statement_(statement) {}
        ~Lease() { statement_.tryReset(); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        SQLite::Statement* operator->() const { return &statement_; }
        SQLite::Statement& operator*() const { return statement_; }

    private:
        SQLite::Statement& statement_;
    };

    // Do not lease the same text twice at once: both leases would share one statement.
    Lease statement(const std::string& sql);

    // Runs `work` inside one IMMEDIATE transaction: all of it is committed, or, when it
    // throws, none of it. Immediate, so concurrent writers queue on the busy time-out
    // instead of failing when a read lock would have to be upgraded.
    template <class Work>
    decltype(auto) write(Work&& work) {
        Transaction transaction(*this);
        if constexpr (std::is_void_v<decltype(work(*this))>) {
            work(*this);
            transaction.commit();
        } else {
            decltype(auto) result = work(*this);
            transaction.commit();
            return result;
        }
    }

    SQLite::Database& database() { return db_; }

private:
    class Transaction {
    public:
        explicit Transaction(Connection& c);
        ~Transaction();
        void commit();

    private:
        Connection& connection_;
        bool open_ = true;
    };

    SQLite::Database db_;
    std::unordered_map<std::string, std::unique_ptr<SQLite::Statement>> statements_;
    bool inTransaction_ = false;
};

// The database file, opened once per thread that touches it: each server worker gets its
// own connection, so statements never cross threads and readers run side by side (WAL).
class Storage {
public:
    explicit Storage(std::string path);
    const std::string& path() const { return path_; }
    Connection& connection();  // the calling thread's connection, opened on first use

private:
    std::string path_;
    std::mutex mutex_;
    std::map<std::thread::id, std::unique_ptr<Connection>> connections_;
};

}  // namespace krv::server
