#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DataPacket.h"
#include "Variant.h"

namespace krv {
class FilterExpression;
}

namespace krv {

enum class DataSetState { Browse, Edit, Insert };

// A field the screen declares for its data set; SetData matches packet fields to these by name.
struct PersistentField {
    PersistentField() = default;
    // Positional, so a screen can list its fields as {"NAME", type, size, "Label", width, visible}
    // and leave out the trailing ones.
    PersistentField(std::string name, FieldType type = FieldType::String, int size = 0, std::string displayLabel = {},
                    int displayWidth = 0, bool visible = true)
        : name(std::move(name)),
          type(type),
          size(size),
          displayLabel(std::move(displayLabel)),
          displayWidth(displayWidth),
          visible(visible) {}

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
    DateTime AsDateTime() const;
    bool IsNull() const;  // an empty string is null too
    // Needs Edit or Insert state (std::logic_error otherwise); the value is converted to the
    // field's type (std::invalid_argument when it cannot be).
    void SetValue(Variant v);
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
    explicit TClientDataSet(std::vector<PersistentField> fields)
        : fields_(std::move(fields)), persistentFields_(!fields_.empty()) {}

    const std::vector<PersistentField>& Fields() const { return fields_; }
    void SetFields(std::vector<PersistentField> fields);  // keeps the rows, matched by name
    int FieldIndex(const std::string& name) const;        // -1 when absent
    TField FieldByName(const std::string& name);          // throws std::out_of_range for an unknown name

    // Replaces the whole content. Packet fields are matched to the persistent fields by
    // name (missing ones read null, extra ones are dropped); with no persistent fields the
    // packet's own fields are taken. Values are stored in the persistent field's type;
    // empty strings are stored as null.
    // A value that cannot be of its field's type throws std::invalid_argument and leaves the
    // data set as it was.
    void SetData(DataPacket packet);
    void SetData(const Variant& packet);  // throws EDecodeError when it is no packet
    void SetData(Variant&& packet);       // the same, moving the rows of a sole-held packet
    DataPacket Data() const;              // every row, unfiltered, persistent field order
    // Data() of only the rows `keep` accepts, and in them only the fields named in `kept` (the
    // others null): what a server reads of a long list, without copying the rest of it.
    DataPacket Data(const std::function<bool(const Row&)>& keep, const std::vector<std::string>& kept) const;
    // The rows, unfiltered, that `keep` accepts; a row is in persistent field order.
    int Count(const std::function<bool(const Row&)>& keep) const;

    bool IsEmpty() const { return RecordCount() == 0; }
    int RecordCount() const;  // rows visible through the filter
    DataSetState State() const { return state_; }

    void First();
    void Next();
    void Prior();
    void Last();
    bool Eof() const;
    bool Bof() const;
    int RecNo() const;            // 0-based visible row of the cursor; -1 when empty
    void MoveTo(int visibleRow);  // throws std::out_of_range for a row that is not there

    // Moving the cursor, filtering or inserting first posts a pending edit.
    void Edit();    // Browse -> Edit on the current row; no effect when empty
    void Insert();  // runs BeforeInsert (which may throw EAbort), then appends a blank row
    void Post();    // no effect in Browse
    void Cancel();  // restores the edited values, or drops the inserted row

    // Exact match on one field; on success the first matching visible row becomes current.
    // The value is taken in the field's type ("" finds blanks); one that cannot be of that
    // type matches nothing. Throws std::out_of_range for an unknown field.
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

    // Direct read access for views: visible row r, field index f (std::out_of_range when absent).
    const Variant& ValueAt(int visibleRow, int field) const;

private:
    friend class TField;
    int RequireField(const std::string& name) const;  // std::out_of_range when absent
    // Every row as Data() has it, a pending edit left out.
    void EachRow(const std::function<void(const Row&)>& visit) const;
    Row& CurrentRow();
    void CheckBrowseMode();
    void SetCurrentValue(int field, Variant v);
    void Notify(Change change, int visibleRow);
    void RebuildVisible();
    void MoveCursorToFirst();
    std::shared_ptr<const FilterExpression> CompileFilter(const std::string& text,
                                                          const std::vector<PersistentField>& fields) const;
    // `forms`: what the codec established about the packet's rows, when it made the packet.
    void SetData(DataPacket packet, const CheckedForms* forms);
    std::vector<Row> RowsFor(DataPacket& packet, const std::vector<PersistentField>& fields,
                             const CheckedForms* forms) const;

    std::vector<PersistentField> fields_;
    bool persistentFields_ = false;  // declared by the screen, not taken from each packet
    std::vector<Row> rows_;
    std::vector<int> visible_;  // row indexes that pass the filter
    int cursor_ = -1;
    bool bof_ = true;
    bool eof_ = true;
    DataSetState state_ = DataSetState::Browse;
    // Edits go straight into the row; these are the values they replaced, for Cancel and
    // Data(). Keeping Edit and Post O(1) is what lets mark-all run over a whole list at once.
    std::vector<std::pair<int, Variant>> replaced_;
    std::string filterText_;
    bool filtered_ = false;
    std::shared_ptr<const FilterExpression> filter_;  // null: every row passes
    int disableCount_ = 0;
    std::vector<std::pair<int, Listener>> listeners_;
    int nextListenerId_ = 1;
};

}  // namespace krv
