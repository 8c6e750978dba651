#include "server/transfer/TransferStore.h"

#include "server/storage/SqlBuilder.h"

namespace krv::server::transfer {

namespace {

Value read(const db::ResultRow& row, int i, ColumnType type) {
    if (row.isNull(i)) return {};
    switch (type) {
        case ColumnType::Count:
            return row.integer(i);
        case ColumnType::Amount:
        case ColumnType::Quantity:
            return row.real(i);
        case ColumnType::Date:
            return row.dateTime(i).date();
        default:
            return row.text(i);
    }
}

std::string columnList(const RecordKind& kind) {
    std::string out;
    for (const Column& column : kind.columns) out += (out.empty() ? "" : ", ") + column.name;
    return out;
}

// "a = ? AND b = ?" over the key, with its values.
void whereKey(db::Sql& sql, const RecordKind& kind, const Record& record) {
    if (kind.single) {
        sql(" WHERE id = 1");
        return;
    }
    const char* joint = " WHERE ";
    for (int k : kind.keyColumns()) {
        sql(joint)(kind.columns[size_t(k)].name + " = ?", {toParam(record[size_t(k)])});
        joint = " AND ";
    }
}

}  // namespace

db::Param toParam(const Value& value) {
    return std::visit(
        [](const auto& v) -> db::Param {
            if constexpr (std::is_same_v<std::decay_t<decltype(v)>, std::monostate>)
                return nullptr;
            else
                return v;
        },
        value);
}

void TransferStore::each(const RecordKind& kind, const std::function<void(Record&&)>& onRecord) {
    std::string order;
    for (int k : kind.keyColumns()) order += (order.empty() ? " ORDER BY " : ", ") + kind.columns[size_t(k)].name;
    const std::string sql =
        "SELECT " + columnList(kind) + " FROM " + kind.table + (kind.single ? " WHERE id = 1" : order);
    c_.each(sql, {}, [&](const db::ResultRow& row) {
        Record record;
        record.reserve(kind.columns.size());
        for (size_t i = 0; i < kind.columns.size(); ++i) record.push_back(read(row, int(i), kind.columns[i].type));
        onRecord(std::move(record));
    });
}

void TransferStore::insert(const RecordKind& kind, const std::vector<const Record*>& records,
                           const std::vector<int>& nulled) {
    const size_t perStatement = std::max<size_t>(1, db::kChunk / kind.columns.size());
    const std::string head = "INSERT INTO " + kind.table + " (" + columnList(kind) + ") VALUES ";
    for (size_t from = 0; from < records.size(); from += perStatement) {
        const std::vector<const Record*> slice(records.begin() + long(from),
                                               records.begin() + long(std::min(records.size(), from + perStatement)));
        db::Sql sql;
        sql(head).rows(slice, [&](const Record* record) {
            db::Params values;
            values.reserve(record->size());
            for (size_t i = 0; i < record->size(); ++i)
                values.push_back(std::find(nulled.begin(), nulled.end(), int(i)) != nulled.end()
                                     ? db::Param(nullptr)
                                     : toParam((*record)[i]));
            return values;
        });
        c_.execute(sql.text(), sql.params());
    }
}

void TransferStore::update(const RecordKind& kind, const Record& record, const std::vector<int>& columns) {
    db::Sql sql;
    sql("UPDATE " + kind.table);
    const char* joint = " SET ";
    for (size_t i = 0; i < kind.columns.size(); ++i) {
        const bool wanted =
            columns.empty() ? !kind.columns[i].key : std::find(columns.begin(), columns.end(), int(i)) != columns.end();
        if (!wanted) continue;
        sql(joint)(kind.columns[i].name + " = ?", {toParam(record[i])});
        joint = ", ";
    }
    whereKey(sql, kind, record);
    c_.execute(sql.text(), sql.params());
}

void TransferStore::remove(const RecordKind& kind, const Record& record) {
    db::Sql sql;
    sql("DELETE FROM " + kind.table);
    whereKey(sql, kind, record);
    c_.execute(sql.text(), sql.params());
}

int64_t TransferStore::uses(const RecordKind& kind, const Use& use, const Record& record) {
    const std::vector<int> key = kind.keyColumns();
    db::Sql sql;
    sql("SELECT count(*) FROM " + use.table + " WHERE ");
    const char* either = "(";
    for (const auto& columns : use.columnSets) {
        sql(either);
        for (size_t i = 0; i < columns.size(); ++i)
            sql((i ? " AND " : "") + columns[i] + " = ?", {toParam(record[size_t(key[i])])});
        sql(")");
        either = " OR (";
    }
    return c_.integer(sql.text(), sql.params()).value_or(0);
}

std::vector<std::string> TransferStore::branches() {
    std::vector<std::string> codes;
    c_.each("SELECT cdfilial FROM branch ORDER BY cdfilial", {},
            [&](const db::ResultRow& row) { codes.push_back(row.text(0)); });
    return codes;
}

}  // namespace krv::server::transfer
