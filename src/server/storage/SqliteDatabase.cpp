#include "server/storage/SqliteDatabase.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <sqlite3.h>

#include <chrono>
#include <thread>
#include <unordered_map>

#include "core/PrivateFile.h"
#include "server/storage/SqlText.h"

namespace krv::server::db {

namespace {

constexpr int kBusyTimeoutMs = 10000;
// Tries at taking the file to WAL, 20 ms apart: as long as the busy time-out.
constexpr int kWalAttempts = kBusyTimeoutMs / 20;

const Dialect kSqlite{
    .date = "{} TEXT NOT NULL CHECK ({} = date({}))",
    .timestamp = "{} TEXT NOT NULL CHECK ({} = datetime({}))",
    .onlyLettersAndDigits = "{} NOT GLOB '*[^0-9A-Za-z]*'",
    .onlyDigits = "{} NOT GLOB '*[^0-9]*'",
    .real = "REAL",
    .bigint = "INTEGER",
    .blob = "BLOB",
    .identity = "INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT",
    .now = "(datetime('now', 'localtime'))",
    .keyedTableOptions = " WITHOUT ROWID",
};

class SqliteRow : public ResultRow {
public:
    explicit SqliteRow(SQLite::Statement& statement) : statement_(statement) {}
    int size() const override { return statement_.getColumnCount(); }
    bool isNull(int column) const override { return statement_.isColumnNull(column); }
    std::string text(int column) const override { return statement_.getColumn(column).getString(); }
    int64_t integer(int column) const override { return statement_.getColumn(column).getInt64(); }
    double real(int column) const override { return statement_.getColumn(column).getDouble(); }
    bool boolean(int column) const override { return statement_.getColumn(column).getInt() != 0; }
    std::string blob(int column) const override {
        const SQLite::Column value = statement_.getColumn(column);
        return std::string(static_cast<const char*>(value.getBlob()), size_t(value.getBytes()));
    }

private:
    SQLite::Statement& statement_;
};

// SQLITE_BUSY and SQLITE_LOCKED outlasting the busy time-out: another writer held on.
bool isConflict(const SQLite::Exception& e) {
    const int code = e.getErrorCode() & 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

[[noreturn]] void rethrow(const SQLite::Exception& e) {
    if (isConflict(e)) throw Conflict(std::string("O banco de dados está ocupado: ") + e.what());
    throw std::runtime_error(std::string("Erro do banco de dados: ") + e.what());
}

class SqliteConnection : public Connection {
public:
    explicit SqliteConnection(const std::string& path) : db_(open(path)) {}

    int64_t run(std::string_view sql, const Params& params, const RowHandler& onRow) override {
        try {
            SQLite::Statement& statement = prepared(sql);
            // Reset on every way out: a statement left mid-step keeps its read snapshot,
            // and this connection would stop seeing what other connections write.
            struct ResetOnExit {
                SQLite::Statement& s;
                ~ResetOnExit() { s.tryReset(); }
            } resetOnExit{statement};
            statement.clearBindings();
            for (size_t i = 0; i < params.size(); ++i) bind(statement, int(i + 1), params[i]);
            SqliteRow row(statement);
            while (statement.executeStep())
                if (onRow) onRow(row);
            return statement.getColumnCount() == 0 ? db_.getChanges() : 0;
        } catch (const SQLite::Exception& e) {
            rethrow(e);
        }
    }

    void script(std::string_view sql) override {
        try {
            db_.exec(std::string(sql));
        } catch (const SQLite::Exception& e) {
            rethrow(e);
        }
    }

    const Dialect& dialect() const override { return kSqlite; }
    // The IMMEDIATE transaction the claim is made in holds the whole file already.
    void claim(ClaimKind, std::vector<std::string>) override {}

protected:
    // Every IMMEDIATE transaction already keeps other writers out.
    void begin(WriteKind kind) override {
        if (kind != WriteKind::IfFree) return script("BEGIN IMMEDIATE");
        db_.setBusyTimeout(0);
        const int result = db_.tryExec("BEGIN IMMEDIATE");
        db_.setBusyTimeout(kBusyTimeoutMs);
        if (result == SQLITE_BUSY || result == SQLITE_LOCKED) throw Conflict("O banco de dados está ocupado");
        if (result != SQLITE_OK) throw std::runtime_error(std::string("Erro do banco de dados: ") + db_.getErrorMsg());
    }
    void commit() override { script("COMMIT"); }
    void rollback() noexcept override { db_.tryExec("ROLLBACK"); }

private:
    // Switching a new file to WAL takes a lock that SQLite does not wait for with the busy
    // handler: a server starting beside another that is creating the same file finds it
    // held for a moment, and tries again instead of failing to start.
    static void useWriteAheadLog(SQLite::Database& db) {
        for (int attempt = 1;; ++attempt) {
            try {
                db.exec("PRAGMA journal_mode = WAL");
                return;
            } catch (const SQLite::Exception& e) {
                if (!isConflict(e) || attempt == kWalAttempts) throw;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
    }

    static SQLite::Database open(const std::string& path) {
        createPrivateFile(path);
        try {
            SQLite::Database db(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE | SQLite::OPEN_NOMUTEX,
                                kBusyTimeoutMs);
            useWriteAheadLog(db);
            db.exec("PRAGMA foreign_keys = ON");
            return db;
        } catch (const SQLite::Exception& e) {
            throw Unavailable("Não foi possível abrir o banco de dados " + path + ": " + e.what());
        }
    }

    SQLite::Statement& prepared(std::string_view sql) {
        auto found = statements_.find(sql);
        if (found == statements_.end())
            found =
                statements_.emplace(std::string(sql), std::make_unique<SQLite::Statement>(db_, std::string(sql))).first;
        return *found->second;
    }

    static void bind(SQLite::Statement& statement, int index, const Param& param) {
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::monostate>)
                    statement.bind(index);
                else if constexpr (std::is_same_v<T, bool>)
                    statement.bind(index, v ? 1 : 0);
                else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, double> ||
                                   std::is_same_v<T, std::string>)
                    statement.bind(index, v);
                else if constexpr (std::is_same_v<T, Blob>)
                    statement.bind(index, static_cast<const void*>(v.bytes.data()), int(v.bytes.size()));
                else
                    statement.bind(index, sqlText(v));
            },
            param.value());
    }

    SQLite::Database db_;
    std::unordered_map<std::string, std::unique_ptr<SQLite::Statement>, TextHash, std::equal_to<>> statements_;
};

}  // namespace

std::unique_ptr<Connection> SqliteDatabase::connect() { return std::make_unique<SqliteConnection>(path_); }

}  // namespace krv::server::db
