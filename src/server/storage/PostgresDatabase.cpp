#include "server/storage/PostgresDatabase.h"

#include <pqxx/pqxx>

#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "server/storage/SqlText.h"

namespace krv::server::db {

namespace {

// Any number will do as long as every process uses the same one.
constexpr const char* kExclusiveLock = "SELECT pg_advisory_xact_lock(52000)";
// The SQLSTATE of a lock that lock_timeout gave up on.
constexpr const char* kLockNotAvailable = "55P03";

const Dialect kPostgres{
    .date = "{} DATE NOT NULL",
    .timestamp = "{} TIMESTAMP(0) NOT NULL",
    .onlyLettersAndDigits = "{} !~ '[^0-9A-Za-z]'",
    .onlyDigits = "{} !~ '[^0-9]'",
    .real = "DOUBLE PRECISION",
    .bigint = "BIGINT",
    .blob = "BYTEA",
    .identity = "BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY",
    .now = "LOCALTIMESTAMP(0)",
    .keyedTableOptions = "",
};

// A code's advisory lock key: the same in every process and every build (FNV-1a).
int32_t claimKey(const std::string& code) {
    uint32_t hash = 2166136261u;
    for (const unsigned char c : code) hash = (hash ^ c) * 16777619u;
    return int32_t(hash);
}

// libpq's messages may run over several lines; a server log or a client shows one.
std::string oneLine(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    for (char& c : text)
        if (c == '\n') c = ' ';
    return text;
}

// "?" placeholders become "$1", "$2", …; quoted text is left alone.
std::string numberedPlaceholders(std::string_view sql) {
    std::string out;
    out.reserve(sql.size() + 16);
    int next = 0;
    char quote = 0;
    for (char c : sql) {
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$' + std::to_string(++next);
            continue;
        }
        out += c;
    }
    return out;
}

std::string hexBytes(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "\\x";
    text.reserve(2 + bytes.size() * 2);
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

// Every parameter travels as text (bytes as bytea's hex form): the server converts it to
// the type the statement gives that position.
std::optional<std::string> parameterText(const Param& param) {
    return std::visit(
        [](const auto& v) -> std::optional<std::string> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return std::nullopt;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "true" : "false";
            else if constexpr (std::is_same_v<T, int64_t>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, double>)
                return pqxx::to_string(v);
            else if constexpr (std::is_same_v<T, std::string>)
                return v;
            else if constexpr (std::is_same_v<T, Blob>)
                return hexBytes(v.bytes);
            else
                return sqlText(v);
        },
        param.value());
}

class PostgresRow : public ResultRow {
public:
    explicit PostgresRow(const pqxx::row& row) : row_(row) {}
    int size() const override { return int(row_.size()); }
    bool isNull(int column) const override { return row_[column].is_null(); }
    std::string text(int column) const override { return row_[column].c_str(); }
    int64_t integer(int column) const override { return row_[column].as<int64_t>(); }
    double real(int column) const override { return row_[column].as<double>(); }
    bool boolean(int column) const override { return row_[column].as<bool>(); }
    std::string blob(int column) const override { return pqxx::binarystring(row_[column]).str(); }

private:
    const pqxx::row& row_;
};

class PostgresConnection : public Connection {
public:
    PostgresConnection(const std::string& url, const std::string& description) : url_(url), description_(description) {
        open();
    }

    int64_t run(std::string_view sql, const Params& params, const RowHandler& onRow) override {
        return guarded([&] {
            const std::string& name = prepared(sql);
            std::vector<std::optional<std::string>> texts;
            texts.reserve(params.size());
            for (const Param& param : params) texts.push_back(parameterText(param));
            std::vector<const char*> values;
            values.reserve(texts.size());
            for (const auto& text : texts) values.push_back(text ? text->c_str() : nullptr);
            const pqxx::result result = session_->exec_prepared(name, pqxx::prepare::make_dynamic_params(values));
            if (onRow)
                for (const pqxx::row& row : result) onRow(PostgresRow(row));
            return int64_t(result.affected_rows());
        });
    }

    void script(std::string_view sql) override {
        guarded([&] { return session_->exec(std::string(sql)); });
    }

    const Dialect& dialect() const override { return kPostgres; }

    void claim(ClaimKind kind, std::vector<std::string> codes) override {
        // Claimed in the order of the lock keys, not of the codes: two codes may share a key.
        std::vector<int32_t> keys;
        keys.reserve(codes.size());
        for (const std::string& code : codes) keys.push_back(claimKey(code));
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (const int32_t key : keys)
            run("SELECT pg_advisory_xact_lock(CAST(? AS INTEGER), CAST(? AS INTEGER))", {int(kind), int(key)}, nullptr);
    }

protected:
    void begin(WriteKind kind) override {
        switch (kind) {
            case WriteKind::Serializable:
                script("BEGIN ISOLATION LEVEL SERIALIZABLE");
                return;
            case WriteKind::Exclusive:
                // It waits for the lock first and reads after it, so it must see what the
                // previous holder committed: READ COMMITTED takes a snapshot per statement.
                script("BEGIN ISOLATION LEVEL READ COMMITTED");
                script(kExclusiveLock);
                return;
            case WriteKind::Independent:
            case WriteKind::Claimed:
                script("BEGIN ISOLATION LEVEL READ COMMITTED");
                return;
            case WriteKind::IfFree:
                // A row lock another writer holds is a Conflict at once (lock_not_available).
                script("BEGIN ISOLATION LEVEL READ COMMITTED");
                script("SET LOCAL lock_timeout = '1ms'");
                return;
        }
    }
    void commit() override { script("COMMIT"); }
    void rollback() noexcept override {
        if (!connection_) return;  // the transaction went with the lost connection
        try {
            session_->exec("ROLLBACK");
        } catch (...) {
            drop();
        }
    }

private:
    void open() {
        try {
            connection_ = std::make_unique<pqxx::connection>(url_);
            session_ = std::make_unique<pqxx::nontransaction>(*connection_);
        } catch (const std::exception& e) {
            drop();
            throw Unavailable("Não foi possível conectar ao banco de dados " + description_ + ": " + oneLine(e.what()));
        }
    }

    void drop() noexcept {
        session_.reset();
        connection_.reset();
        statements_.clear();
    }

    template <class Work>
    auto guarded(Work&& work) -> decltype(work()) {
        if (!connection_) open();
        try {
            return work();
        } catch (const pqxx::serialization_failure& e) {
            throw Conflict(oneLine(e.what()));
        } catch (const pqxx::deadlock_detected& e) {
            throw Conflict(oneLine(e.what()));
        } catch (const pqxx::broken_connection& e) {
            drop();
            throw Unavailable("A conexão com o banco de dados " + description_ + " foi perdida: " + oneLine(e.what()));
        } catch (const pqxx::sql_error& e) {
            if (e.sqlstate() == kLockNotAvailable) throw Conflict(oneLine(e.what()));
            throw std::runtime_error("Erro do banco de dados: " + oneLine(e.what()));
        }
    }

    const std::string& prepared(std::string_view sql) {
        auto found = statements_.find(sql);
        if (found == statements_.end()) {
            std::string name = "s" + std::to_string(statements_.size() + 1);
            connection_->prepare(name, numberedPlaceholders(sql));
            found = statements_.emplace(std::string(sql), std::move(name)).first;
        }
        return found->second;
    }

    std::string url_;
    std::string description_;
    std::unique_ptr<pqxx::connection> connection_;
    // One autocommit session for every statement: transactions are begun and ended in SQL,
    // so one code path serves reads outside a transaction and writes inside one.
    std::unique_ptr<pqxx::nontransaction> session_;
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> statements_;  // SQL → name
};

// A URL without its password, for messages.
std::string withoutPassword(const std::string& url) {
    const auto scheme = url.find("://");
    const auto at = url.find('@', scheme == std::string::npos ? 0 : scheme + 3);
    if (scheme == std::string::npos || at == std::string::npos) return url;
    const auto colon = url.find(':', scheme + 3);
    if (colon == std::string::npos || colon > at) return url;
    return url.substr(0, colon) + url.substr(at);
}

// A host that does not answer must not hold the server's start for ever, and every text
// crosses the wire as UTF-8 whatever the database's own encoding.
std::string withDefaults(std::string url) {
    const auto add = [&](const char* option, const char* value) {
        if (url.find(option) != std::string::npos) return;
        url += url.find('?') == std::string::npos ? '?' : '&';
        url += std::string(option) + "=" + value;
    };
    add("connect_timeout", "10");
    add("client_encoding", "UTF8");
    return url;
}

}  // namespace

PostgresLogin splitPassword(const std::string& url) {
    PostgresLogin login{withoutPassword(url), {}};
    if (login.url == url) return login;
    const size_t colon = url.find(':', url.find("://") + 3);
    const std::string typed = url.substr(colon + 1, url.size() - login.url.size() - 1);
    for (size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '%' && i + 2 < typed.size() && std::isxdigit(uint8_t(typed[i + 1])) &&
            std::isxdigit(uint8_t(typed[i + 2]))) {
            login.password += char(std::stoi(typed.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            login.password += typed[i];
        }
    }
    return login;
}

PostgresDatabase::PostgresDatabase(std::string url) : url_(withDefaults(url)), description_(withoutPassword(url)) {}

std::unique_ptr<Connection> PostgresDatabase::connect() {
    return std::make_unique<PostgresConnection>(url_, description_);
}

}  // namespace krv::server::db
