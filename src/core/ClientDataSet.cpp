#include "ClientDataSet.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <utility>

#include "Errors.h"
#include "FieldValue.h"
#include "FilterExpression.h"
#include "RowStash.h"
#include "Text.h"

namespace krv {
namespace {

const Variant kNull;

std::vector<PersistentField> fieldsOfPacket(const std::vector<FieldDef>& defs) {
    std::vector<PersistentField> fields;
    fields.reserve(defs.size());
    for (const FieldDef& d : defs) fields.emplace_back(d.name, d.type, d.size);
    return fields;
}

int indexOfName(const std::vector<PersistentField>& fields, const std::string& name) {
    for (size_t i = 0; i < fields.size(); ++i)
        if (equalsIgnoringAsciiCase(fields[i].name, name)) return int(i);
    return -1;
}

void toFieldForms(Row& row, const std::vector<PersistentField>& fields) {
    for (size_t c = 0; c < row.size(); ++c)
        if (!hasFieldForm(row[c], fields[c].type))
            row[c] = toFieldForm(std::move(row[c]), fields[c].type, fields[c].name);
}

// Whether what the codec checked, each cell against the packet's own field types, holds
// for `fields` too: the same fields in the same order, of the same types.
bool checkedFor(const std::vector<FieldDef>& defs, const std::vector<PersistentField>& fields) {
    if (defs.size() != fields.size()) return false;
    for (size_t i = 0; i < defs.size(); ++i)
        if (defs[i].type != fields[i].type || !equalsIgnoringAsciiCase(defs[i].name, fields[i].name)) return false;
    return true;
}

}  // namespace

// ---- TField --------------------------------------------------------------------------

const PersistentField& TField::Def() const { return ds_->fields_.at(size_t(index_)); }

// at(): a TField kept across a SetData that brought other fields must not read past the row.
const Variant& TField::Value() const { return ds_->cursor_ < 0 ? kNull : ds_->CurrentRow().at(size_t(index_)); }

std::string TField::AsString() const { return Value().asString(); }
double TField::AsFloat() const { return Value().asDouble(); }
DateTime TField::AsDateTime() const { return Value().asDateTime(); }
bool TField::IsNull() const { return isBlank(Value()); }
void TField::SetValue(Variant v) { ds_->SetCurrentValue(index_, std::move(v)); }

// ---- fields and content --------------------------------------------------------------

void TClientDataSet::SetFields(std::vector<PersistentField> fields) {
    DataPacket current = Data();
    std::swap(fields_, fields);
    const bool wasPersistent = persistentFields_;
    persistentFields_ = !fields_.empty();
    try {
        SetData(std::move(current));
    } catch (...) {
        fields_ = std::move(fields);
        persistentFields_ = wasPersistent;
        throw;
    }
}

int TClientDataSet::FieldIndex(const std::string& name) const { return indexOfName(fields_, name); }

int TClientDataSet::RequireField(const std::string& name) const {
    const int index = FieldIndex(name);
    if (index < 0) throw std::out_of_range("Campo '" + name + "' não existe no conjunto de dados");
    return index;
}

TField TClientDataSet::FieldByName(const std::string& name) { return TField(*this, RequireField(name)); }

std::vector<Row> TClientDataSet::RowsFor(DataPacket& packet, const std::vector<PersistentField>& fields,
                                         const CheckedForms* forms) const {
    const size_t width = packet.fields.size();
    if (forms && checkedFor(packet.fields, fields)) {
        // Each cell already has its field's form but for the empty texts, which become null:
        // a second pass over a hundred thousand rows cost as much as decoding them.
        std::vector<Row> rows = std::move(packet.rows);
        for (const uint32_t r : forms->rowsWithEmptyText) toFieldForms(rows[r], fields);
        return rows;
    }
    for (size_t r = 0; r < packet.rows.size(); ++r)
        if (packet.rows[r].size() != width)
            throw std::invalid_argument("Pacote: linha " + std::to_string(r + 1) + " tem " +
                                        std::to_string(packet.rows[r].size()) + " valores para " +
                                        std::to_string(width) + " campos");
    std::vector<int> source(fields.size());
    bool sameOrder = width == fields.size();
    for (size_t i = 0; i < fields.size(); ++i) {
        source[i] = packet.fieldIndex(fields[i].name);
        sameOrder = sameOrder && source[i] == int(i);
    }
    std::vector<Row> rows;
    if (sameOrder) {
        rows = std::move(packet.rows);
        for (size_t r = 0; r < rows.size(); ++r) {
            if (r + 1 < rows.size()) rowstash::prefetch(rows[r + 1]);
            toFieldForms(rows[r], fields);
        }
        return rows;
    }
    rows.reserve(packet.rows.size());
    for (Row& from : packet.rows) {
        Row& row = rows.emplace_back(fields.size());
        for (size_t i = 0; i < fields.size(); ++i)
            if (source[i] >= 0) row[i] = std::move(from[size_t(source[i])]);
        toFieldForms(row, fields);
    }
    return rows;
}

void TClientDataSet::SetData(DataPacket packet) { SetData(std::move(packet), nullptr); }

void TClientDataSet::SetData(DataPacket packet, const CheckedForms* forms) {
    // Everything that can fail happens before the first member changes.
    std::vector<PersistentField> fields = persistentFields_ ? fields_ : fieldsOfPacket(packet.fields);
    std::vector<Row> rows = RowsFor(packet, fields, forms);
    std::shared_ptr<const FilterExpression> filter = filtered_ ? CompileFilter(filterText_, fields) : nullptr;

    state_ = DataSetState::Browse;
    replaced_.clear();
    fields_ = std::move(fields);
    rowstash::keep(std::exchange(rows_, std::move(rows)));
    filter_ = std::move(filter);
    RebuildVisible();
    MoveCursorToFirst();
    Notify(Change::Reset, cursor_);
}

void TClientDataSet::SetData(const Variant& packet) {
    if (packet.type() != Variant::Type::Packet) throw EDecodeError("O valor recebido não é um pacote de dados");
    SetData(packet.packet(), packet.checkedForms());
}

void TClientDataSet::SetData(Variant&& packet) {
    if (packet.type() != Variant::Type::Packet) throw EDecodeError("O valor recebido não é um pacote de dados");
    // Copied first: taking the packet out may free what the codec wrote about it.
    std::optional<CheckedForms> forms;
    if (const CheckedForms* checked = packet.checkedForms()) forms = *checked;
    SetData(std::move(packet).takePacket(), forms ? &*forms : nullptr);
}

DataPacket TClientDataSet::Data() const {
    DataPacket p;
    p.fields.reserve(fields_.size());
    for (const PersistentField& f : fields_) p.fields.push_back(FieldDef{f.name, f.type, f.size});
    p.rows = rows_;
    // A pending edit is not part of the content until it is posted.
    if (state_ == DataSetState::Insert) p.rows.erase(p.rows.begin() + visible_[size_t(cursor_)]);
    if (state_ == DataSetState::Edit)
        for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it)
            p.rows[size_t(visible_[size_t(cursor_)])][size_t(it->first)] = it->second;
    return p;
}

void TClientDataSet::EachRow(const std::function<void(const Row&)>& visit) const {
    const size_t pending = state_ == DataSetState::Browse ? rows_.size() : size_t(visible_[size_t(cursor_)]);
    for (size_t r = 0; r < rows_.size(); ++r) {
        if (r != pending) {
            visit(rows_[r]);
        } else if (state_ == DataSetState::Edit) {
            Row before = rows_[r];
            for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it) before[size_t(it->first)] = it->second;
            visit(before);
        }
    }
}

DataPacket TClientDataSet::Data(const std::function<bool(const Row&)>& keep, const std::vector<std::string>& kept) const {
    DataPacket p;
    for (const PersistentField& f : fields_) p.fields.push_back(FieldDef{f.name, f.type, f.size});
    std::vector<size_t> columns;
    for (const std::string& name : kept) columns.push_back(size_t(RequireField(name)));
    EachRow([&](const Row& row) {
        if (!keep(row)) return;
        Row& copy = p.rows.emplace_back(row.size());
        for (const size_t c : columns) copy[c] = row[c];
    });
    return p;
}

int TClientDataSet::Count(const std::function<bool(const Row&)>& keep) const {
    int n = 0;
    EachRow([&](const Row& row) { n += keep(row) ? 1 : 0; });
    return n;
}

int TClientDataSet::RecordCount() const { return int(visible_.size()); }

const Variant& TClientDataSet::ValueAt(int visibleRow, int field) const {
    return rows_.at(size_t(visible_.at(size_t(visibleRow)))).at(size_t(field));
}

Row& TClientDataSet::CurrentRow() { return rows_[size_t(visible_[size_t(cursor_)])]; }

// ---- navigation ----------------------------------------------------------------------

void TClientDataSet::MoveCursorToFirst() {
    cursor_ = visible_.empty() ? -1 : 0;
    bof_ = true;
    eof_ = visible_.empty();
}

void TClientDataSet::First() {
    CheckBrowseMode();
    MoveCursorToFirst();
    Notify(Change::Scroll, cursor_);
}

void TClientDataSet::Last() {
    CheckBrowseMode();
    cursor_ = int(visible_.size()) - 1;
    bof_ = visible_.empty();
    eof_ = true;
    Notify(Change::Scroll, cursor_);
}

void TClientDataSet::Next() {
    CheckBrowseMode();
    if (cursor_ + 1 < int(visible_.size())) {
        ++cursor_;
        bof_ = eof_ = false;
        Notify(Change::Scroll, cursor_);
    } else {
        eof_ = true;
    }
}

void TClientDataSet::Prior() {
    CheckBrowseMode();
    if (cursor_ > 0) {
        --cursor_;
        bof_ = eof_ = false;
        Notify(Change::Scroll, cursor_);
    } else {
        bof_ = true;
    }
}

bool TClientDataSet::Eof() const { return eof_; }
bool TClientDataSet::Bof() const { return bof_; }
int TClientDataSet::RecNo() const { return cursor_; }

void TClientDataSet::MoveTo(int visibleRow) {
    CheckBrowseMode();
    if (visibleRow < 0 || visibleRow >= int(visible_.size()))
        throw std::out_of_range("Linha " + std::to_string(visibleRow) + " fora do conjunto de dados");
    cursor_ = visibleRow;
    bof_ = eof_ = false;
    Notify(Change::Scroll, cursor_);
}

bool TClientDataSet::Locate(const std::string& field, const Variant& value) {
    const int f = RequireField(field);
    Variant wanted;
    try {
        wanted = toFieldForm(value, fields_[size_t(f)].type, fields_[size_t(f)].name);
    } catch (const std::invalid_argument&) {
        return false;
    }
    CheckBrowseMode();
    for (size_t r = 0; r < visible_.size(); ++r)
        if (rows_[size_t(visible_[r])][size_t(f)] == wanted) {
            cursor_ = int(r);
            bof_ = eof_ = false;
            Notify(Change::Scroll, cursor_);
            return true;
        }
    return false;
}

// ---- editing -------------------------------------------------------------------------

void TClientDataSet::CheckBrowseMode() {
    if (state_ != DataSetState::Browse) Post();
}

void TClientDataSet::Edit() {
    if (cursor_ < 0 || state_ != DataSetState::Browse) return;
    state_ = DataSetState::Edit;
    replaced_.clear();
}

void TClientDataSet::Insert() {
    CheckBrowseMode();
    if (BeforeInsert) BeforeInsert(*this);
    rows_.emplace_back(fields_.size());
    visible_.push_back(int(rows_.size()) - 1);
    cursor_ = int(visible_.size()) - 1;
    bof_ = eof_ = false;
    state_ = DataSetState::Insert;
    replaced_.clear();
    Notify(Change::Reset, cursor_);
}

void TClientDataSet::SetCurrentValue(int field, Variant v) {
    const PersistentField& def = fields_.at(size_t(field));
    if (state_ == DataSetState::Browse || cursor_ < 0)
        throw std::logic_error("O campo " + def.name + " só pode ser alterado em edição ou inclusão");
    Variant stored = toFieldForm(std::move(v), def.type, def.name);
    Variant& cell = CurrentRow()[size_t(field)];
    if (state_ == DataSetState::Edit &&
        std::none_of(replaced_.begin(), replaced_.end(), [field](const auto& r) { return r.first == field; }))
        replaced_.emplace_back(field, std::move(cell));
    cell = std::move(stored);
    Notify(Change::Record, cursor_);
}

void TClientDataSet::Post() {
    if (state_ == DataSetState::Browse) return;
    state_ = DataSetState::Browse;
    replaced_.clear();
    if (filter_ && !filter_->matches(CurrentRow())) {
        // The posted row no longer passes the filter: it leaves the view, the cursor stays put.
        visible_.erase(visible_.begin() + cursor_);
        cursor_ = std::min(cursor_, int(visible_.size()) - 1);
        eof_ = eof_ || visible_.empty();
        bof_ = bof_ || visible_.empty();
        Notify(Change::Reset, cursor_);
        return;
    }
    Notify(Change::Record, cursor_);
}

void TClientDataSet::Cancel() {
    if (state_ == DataSetState::Browse) return;
    if (state_ == DataSetState::Insert) {
        rows_.pop_back();
        visible_.pop_back();
        cursor_ = std::min(cursor_, int(visible_.size()) - 1);
        eof_ = eof_ || visible_.empty();
        bof_ = bof_ || visible_.empty();
        state_ = DataSetState::Browse;
        Notify(Change::Reset, cursor_);
        return;
    }
    Row& row = CurrentRow();
    for (auto it = replaced_.rbegin(); it != replaced_.rend(); ++it) row[size_t(it->first)] = std::move(it->second);
    replaced_.clear();
    state_ = DataSetState::Browse;
    Notify(Change::Record, cursor_);
}

// ---- filter --------------------------------------------------------------------------

std::shared_ptr<const FilterExpression> TClientDataSet::CompileFilter(
    const std::string& text, const std::vector<PersistentField>& fields) const {
    if (trimmed(text).empty()) return nullptr;
    return FilterExpression::compile(text, [&fields](const std::string& name, int& index, FieldType& type) {
        index = indexOfName(fields, name);
        if (index >= 0) type = fields[size_t(index)].type;
        return index >= 0;
    });
}

void TClientDataSet::RebuildVisible() {
    visible_.clear();
    visible_.reserve(rows_.size());
    for (size_t r = 0; r < rows_.size(); ++r)
        if (!filter_ || filter_->matches(rows_[r])) visible_.push_back(int(r));
}

void TClientDataSet::SetFilter(const std::string& expression) {
    std::shared_ptr<const FilterExpression> filter = filtered_ ? CompileFilter(expression, fields_) : nullptr;
    filterText_ = expression;
    if (!filtered_) return;
    CheckBrowseMode();
    filter_ = std::move(filter);
    RebuildVisible();
    MoveCursorToFirst();
    Notify(Change::Reset, cursor_);
}

void TClientDataSet::SetFiltered(bool on) {
    if (on == filtered_) return;
    std::shared_ptr<const FilterExpression> filter = on ? CompileFilter(filterText_, fields_) : nullptr;
    CheckBrowseMode();
    filtered_ = on;
    filter_ = std::move(filter);
    RebuildVisible();
    MoveCursorToFirst();
    Notify(Change::Reset, cursor_);
}

// ---- notifications -------------------------------------------------------------------

void TClientDataSet::DisableControls() { ++disableCount_; }

void TClientDataSet::EnableControls() {
    if (disableCount_ == 0) return;
    if (--disableCount_ == 0) Notify(Change::Reset, cursor_);
}

int TClientDataSet::AddListener(Listener l) {
    listeners_.emplace_back(nextListenerId_, std::move(l));
    return nextListenerId_++;
}

void TClientDataSet::RemoveListener(int id) {
    std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

void TClientDataSet::Notify(Change change, int visibleRow) {
    if (disableCount_ > 0) return;
    // A listener may add or remove listeners while it is being told.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) listener(change, visibleRow);
}

}  // namespace krv
