#include "server/storage/Database.h"

#include <chrono>
#include <random>

#include "server/storage/PostgresDatabase.h"
#include "server/storage/SqliteDatabase.h"

namespace krv::server::db {

Param::Param(DateTime v) : v_(v) {
    if (v.secondOfDay() != 0 || v.nanoseconds != 0)
        throw std::logic_error("Uma data com hora foi passada como data; use db::Timestamp.");
}

DateTime ResultRow::dateTime(int column) const {
    const auto parsed = DateTime::parseIso(text(column));
    if (!parsed) throw std::runtime_error("Data inválida no banco de dados: \"" + text(column) + "\".");
    return *parsed;
}

std::optional<int64_t> Connection::integer(std::string_view sql, const Params& params) {
    std::optional<int64_t> value;
    run(sql, params, [&](const ResultRow& row) {
        if (!value && !row.isNull(0)) value = row.integer(0);
    });
    return value;
}

std::optional<std::string> Connection::text(std::string_view sql, const Params& params) {
    std::optional<std::string> value;
    run(sql, params, [&](const ResultRow& row) {
        if (!value && !row.isNull(0)) value = row.text(0);
    });
    return value;
}

namespace {

Variant columnValue(const ResultRow& row, int column, const FieldDef& field) {
    if (row.isNull(column)) return {};
    switch (field.type) {
        case FieldType::String:
        case FieldType::Fixed:
            return row.text(column);
        case FieldType::Integer:
            return row.integer(column);
        case FieldType::Float:
            return row.real(column);
        case FieldType::Bool:
            return row.boolean(column);
        case FieldType::DateTime:
            return row.dateTime(column);
    }
    return {};
}

}  // namespace

DataPacket Connection::packet(std::string_view sql, const Params& params, std::vector<FieldDef> fields) {
    DataPacket packet;
    packet.fields = std::move(fields);
    const int width = int(packet.fields.size());
    run(sql, params, [&](const ResultRow& row) {
        if (row.size() != width) throw std::logic_error("A consulta não tem uma coluna por campo do pacote.");
        Row values;
        values.reserve(size_t(width));
        for (int i = 0; i < width; ++i) values.push_back(columnValue(row, i, packet.fields[size_t(i)]));
        packet.rows.push_back(std::move(values));
    });
    return packet;
}

// Two writers that keep colliding must not collide again in lock step.
void Connection::pauseBeforeRetry(int attempt) {
    thread_local std::minstd_rand jitter{std::random_device{}()};
    const int ceilingMs = 2 << std::min(attempt, 6);
    std::this_thread::sleep_for(std::chrono::milliseconds(1 + int(jitter() % unsigned(ceilingMs))));
}

Connection::Transaction::Transaction(Connection& c, WriteKind kind) : connection_(c) {
    try {
        connection_.begin(kind);
    } catch (...) {
        connection_.rollback();  // a begin that failed halfway must not leave a transaction open
        throw;
    }
    connection_.inTransaction_ = true;
}

Connection::Transaction::~Transaction() {
    if (!open_) return;
    connection_.rollback();
    connection_.inTransaction_ = false;
}

void Connection::Transaction::commit() {
    open_ = false;
    connection_.inTransaction_ = false;
    try {
        connection_.commit();
    } catch (...) {
        connection_.rollback();
        throw;
    }
}

Connection& Database::connection() {
    std::lock_guard lock(mutex_);
    auto& slot = connections_[std::this_thread::get_id()];
    if (!slot) slot = connect();
    return *slot;
}

bool isPostgresUrl(std::string_view target) {
    return target.starts_with("postgresql://") || target.starts_with("postgres://");
}

std::unique_ptr<Database> openDatabase(const std::string& target) {
    std::unique_ptr<Database> database;
    if (isPostgresUrl(target))
        database = std::make_unique<PostgresDatabase>(target);
    else
        database = std::make_unique<SqliteDatabase>(target);
    database->connection();  // fails here, at start, rather than at the first call
    return database;
}

}  // namespace krv::server::db
