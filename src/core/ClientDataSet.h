#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DataPacket.h"
#include "Variant.h"

namespace krv {

enum class DataSetState { Browse, Edit, Insert };

// A field the screen declares for its data set; SetData matches packet fields to these by name.
struct PersistentField {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0;
    std::string displayLabel;  // empty: the name
    int displayWidth = 0;      // characters; 0: from the size
    bool visible = true;
};

class TClientDataSet;

// The value of one field in the current record.
class TField {
public:
    TField(TClientDataSet& ds, int index) : ds_(&ds), index_(index) {}
    const PersistentField& Def() const;
    const Variant& Value() const;
    std::string AsString() const;
    double AsFloat() const;
    int64_t AsInteger() const;
    DateTime AsDateTime() const;
    bool IsNull() const;  // an empty string is null too
    void SetValue(Variant v);  // needs Edit or Insert state
    void SetAsString(const std::string& v) { SetValue(Variant(v)); }

private:
    TClientDataSet* ds_;
    int index_;
};

// In-memory table loaded from a server packet, with a cursor, an optional filter,
// an edit buffer and change notifications for views.
class TClientDataSet {
public:
    enum class Change { Reset, Record, Scroll };
    using Listener = std::function<void(Change, int visibleRow)>;

    TClientDataSet() = default;
    explicit TClientDataSet(std::vector<PersistentField> fields) : fields_(std::move(fields)) {}

    const std::vector<PersistentField>& Fields() const { return fields_; }
    void SetFields(std::vector<PersistentField> fields);
    int FieldIndex(const std::string& name) const;  // -1 when absent
    TField FieldByName(const std::string& name);    // throws std::out_of_range for an unknown name

    // Replaces the whole content. Packet fields are matched to the persistent fields by
    // name (missing ones read null, extra ones are dropped); with no persistent fields the
    // packet's own fields are taken. Values are stored in the persistent field's type;
    // empty strings are stored as null.
    void SetData(DataPacket packet);
    void SetData(const Variant& packet);  // throws EDecodeError when it is no packet
    DataPacket Data() const;              // every row, unfiltered, persistent field order

    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const;  // rows visible through the filter
    DataSetState State() const { return state_; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    int RecNo() const;  // 0-based visible row of the cursor; -1 when empty
    void MoveTo(int visibleRow);

    void Edit();     // Browse -> Edit on the current row; no effect when empty
    void Insert();   // runs BeforeInsert (which may throw EAbort), then appends a blank row
    void Post();
    void Cancel();

    // Exact match on one field; on success the first matching visible row becomes current.
    bool Locate(const std::string& field, const Variant& value);

    // Expression language: field names, 'quoted' strings, numbers, = <> < > <= >=,
    // IS [NOT] NULL, AND, OR, NOT, parentheses. Throws std::invalid_argument for a bad
    // expression when Filtered is on.
    void SetFilter(const std::string& expression);
    const std::string& Filter() const { return filterText_; }
    void SetFiltered(bool on);
    bool Filtered() const { return filtered_; }

    // While disabled, views are not told of changes; EnableControls sends one Reset.
    void DisableControls();
    void EnableControls();

    std::function<void(TClientDataSet&)> BeforeInsert;

    int AddListener(Listener l);
    void RemoveListener(int id);

    // Direct read access for views: visible row r, field index f.
    const Variant& ValueAt(int visibleRow, int field) const;

private:
    friend class TField;
    struct FilterExpr;
    // … implementation members
    std::vector<PersistentField> fields_;
    std::vector<Row> rows_;
    std::vector<int> visible_;  // row indexes that pass the filter
    int cursor_ = -1;
    DataSetState state_ = DataSetState::Browse;
    Row editBuffer_;
    std::string filterText_;
    bool filtered_ = false;
    std::shared_ptr<FilterExpr> filter_;
    int disableCount_ = 0;
    bool pendingReset_ = false;
    std::vector<std::pair<int, Listener>> listeners_;
    int nextListenerId_ = 1;
};

}  // namespace krv
