#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "server/storage/Database.h"
#include "server/transfer/Cells.h"
#include "server/transfer/RecordKinds.h"

namespace krv::server::transfer {

// A value as a statement parameter.
db::Param toParam(const Value& value);

// The SQL of import and export: every record of a kind, and the writes by natural key.
class TransferStore {
public:
    explicit TransferStore(db::Connection& connection) : c_(connection) {}

    // In key order.
    void each(const RecordKind& kind, const std::function<void(Record&&)>& onRecord);
    // Multi-row inserts; the columns in `nulled` go in empty, for a reference the same
    // records fill in afterwards.
    void insert(const RecordKind& kind, const std::vector<const Record*>& records, const std::vector<int>& nulled = {});
    // Sets every column that is not a key (or only `columns`, when given) by the record's key.
    void update(const RecordKind& kind, const Record& record, const std::vector<int>& columns = {});
    void remove(const RecordKind& kind, const Record& record);
    // How many rows of `use` hold the record's key.
    int64_t uses(const RecordKind& kind, const Use& use, const Record& record);
    // Every branch there is, kitchens and logistic operators alike.
    std::vector<std::string> branches();

private:
    db::Connection& c_;
};

}  // namespace krv::server::transfer
