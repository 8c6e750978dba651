#include "host/models/DataSetModel.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>
#include <map>
#include <memory>

#include "core/ClientDataSet.h"
#include "core/NumberText.h"
#include "host/models/MarkDelegate.h"

namespace krv::host {

namespace {

int defaultWidthChars(const PersistentField& f) {
    if (f.displayWidth > 0) return f.displayWidth;
    switch (f.type) {
        case FieldType::String:
        case FieldType::Fixed:
            return std::max(f.size, 1);
        case FieldType::Integer:
            return 10;
        case FieldType::Float:
            return 12;
        case FieldType::DateTime:
            return 10;
        case FieldType::Bool:
            return 1;
    }
    return 10;
}

bool isNumeric(FieldType t) { return t == FieldType::Integer || t == FieldType::Float; }

// A cell as users read it. Quantities (the QT… fields) look as in the report: thousands
// grouped and fixed decimals, more only when the stored value has them; other numbers
// keep their digits with a decimal comma.
QString displayText(const Variant& value, const PersistentField& field) {
    if (field.type == FieldType::Float && field.name.starts_with("QT") && value.isNumber())
        return QString::fromStdString(quantityText(value.asDouble()));
    QString text = QString::fromStdString(value.asString());
    if (field.type == FieldType::Float) text.replace('.', ',');
    return text;
}

}  // namespace

DataSetModel::DataSetModel(TClientDataSet& ds, QObject* parent) : DataSetModel(ds, {}, parent) {}

DataSetModel::DataSetModel(TClientDataSet& ds, std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds), explicit_(std::move(columns)), useVisibleFields_(explicit_.empty()) {
    rebuildColumns();
    rows_ = ds_.RecordCount();
    listener_ = ds_.AddListener([this](TClientDataSet::Change change, int row) {
        switch (change) {
            case TClientDataSet::Change::Reset:
                resetFromDataSet();
                break;
            case TClientDataSet::Change::Record:
                recordChanged(row);
                break;
            case TClientDataSet::Change::Scroll:
                emit currentRowChanged(row);
                break;
        }
    });
}

DataSetModel::~DataSetModel() { ds_.RemoveListener(listener_); }

void DataSetModel::rebuildColumns() {
    columns_.clear();
    markColumn_ = -1;
    const auto& fields = ds_.Fields();
    if (useVisibleFields_) {
        for (int i = 0; i < int(fields.size()); ++i)
            if (fields[i].visible) columns_.push_back({i, {}, 0});
    } else {
        for (const GridColumn& c : explicit_) columns_.push_back({ds_.FieldIndex(c.field), c.title, c.widthPx});
    }
    for (int c = 0; c < int(columns_.size()); ++c) {
        Column& col = columns_[c];
        const bool isMark = useVisibleFields_ ? fields[col.field].name == kMarkField : explicit_[c].field == kMarkField;
        if (isMark && markColumn_ < 0) markColumn_ = c;
        // A title is the field's label, else its name; a mark column's name is no title.
        if (col.field >= 0 && col.title.isEmpty()) {
            const PersistentField& f = fields[col.field];
            col.title = QString::fromStdString(!f.displayLabel.empty() ? f.displayLabel
                                               : isMark                ? std::string()
                                                                       : f.name);
        }
        // The screens title the mark column "4", which their symbol font draws as a check
        // mark; without that font the letter itself would show, so the mark is shown instead.
        if (isMark && col.title == "4") col.title = QStringLiteral("\u2713");
    }
}

void DataSetModel::resetFromDataSet() {
    beginResetModel();
    rebuildColumns();
    rows_ = ds_.RecordCount();
    endResetModel();
}

void DataSetModel::recordChanged(int row) {
    // A change that also moved rows in or out of view (an insert, a filtered-out edit)
    // cannot be told as one row: start over.
    if (row < 0 || row >= rows_ || ds_.RecordCount() != rows_) {
        resetFromDataSet();
        return;
    }
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void DataSetModel::setMarkSource(std::function<bool(int)> isMarked) {
    isMarked_ = std::move(isMarked);
    marksChanged(0, rows_ - 1);
}

void DataSetModel::setGrayed(std::function<bool(int)> isGray) {
    isGray_ = std::move(isGray);
    marksChanged(0, rows_ - 1);
}

void DataSetModel::setFormat(const std::string& field, std::function<QString(const Variant&)> format) {
    formats_[field] = std::move(format);
}

void DataSetModel::setRowToolTip(std::function<QString(int)> toolTip) { toolTip_ = std::move(toolTip); }

void DataSetModel::marksChanged(int firstRow, int lastRow) {
    if (markColumn_ < 0 || rows_ == 0) return;
    firstRow = std::max(firstRow, 0);
    lastRow = std::min(lastRow, rows_ - 1);
    if (firstRow <= lastRow)
        emit dataChanged(index(firstRow, markColumn_), index(lastRow, markColumn_), {MarkStateRole});
}

int DataSetModel::columnWidth(int column, const QFontMetrics& fm) const {
    const Column& col = columns_[column];
    const int padding = fm.averageCharWidth() + 6;
    const int titleWidth = fm.horizontalAdvance(col.title) + padding;
    if (col.widthPx > 0) return std::max(col.widthPx, titleWidth);
    if (col.field < 0) return titleWidth;
    const int chars = defaultWidthChars(ds_.Fields()[col.field]);
    return std::max(chars * fm.averageCharWidth() + padding, titleWidth);
}

int DataSetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int DataSetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(columns_.size()); }

QVariant DataSetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= ds_.RecordCount()) return {};
    const Column& col = columns_[index.column()];
    const int row = index.row();
    if (role == Qt::ToolTipRole) return toolTip_ ? toolTip_(row) : QVariant();
    if (role == Qt::ForegroundRole) {
        if (!isGray_ || !isGray_(row)) return {};
        return QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    }
    if (index.column() == markColumn_) {
        if (role != MarkStateRole) return {};
        if (isGray_ && isGray_(row)) return int(MarkState::Gray);
        const bool marked =
            isMarked_ ? isMarked_(row) : col.field >= 0 && ds_.ValueAt(row, col.field).asString() == "S";
        return int(marked ? MarkState::Checked : MarkState::Unchecked);
    }
    if (col.field < 0) return {};
    switch (role) {
        case Qt::DisplayRole: {
            const auto format = formats_.find(ds_.Fields()[col.field].name);
            if (format != formats_.end()) return format->second(ds_.ValueAt(row, col.field));
            return displayText(ds_.ValueAt(row, col.field), ds_.Fields()[col.field]);
        }
        case Qt::TextAlignmentRole:
            return isNumeric(ds_.Fields()[col.field].type) ? int(Qt::AlignRight | Qt::AlignVCenter)
                                                           : int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= int(columns_.size()))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) return columns_[section].title;
    return {};
}

void ApplyGridLook(QTableView& view, const DataSetModel& model) {
    // Measured in the fonts the grid and its header will be painted in: a screen's style sheet
    // changes them only when the grid is first polished, which may come after the first rows.
    view.ensurePolished();
    view.verticalHeader()->hide();
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(view.fontMetrics().height() + 6);
    view.setWordWrap(false);
    for (int c = 0; c < model.columnCount(); ++c) view.setItemDelegateForColumn(c, nullptr);
    if (model.markColumn() >= 0) view.setItemDelegateForColumn(model.markColumn(), MarkDelegate::shared(view));
    // The model's width is the least a column gets: its title and its codes are never cut.
    // The view measures the rows it would show first, as many as the header's precision.
    QHeaderView& header = *view.horizontalHeader();
    const QAbstractItemView& measure = view;  // where the table's measure is public
    for (int c = 0; c < model.columnCount(); ++c)
        header.resizeSection(c, std::max({model.columnWidth(c, view.fontMetrics()), measure.sizeHintForColumn(c),
                                          header.sectionSizeHint(c)}));
}

void ApplyPickerLook(QTableView& view) {
    // Tab goes on to the buttons; the arrows move in the grid.
    view.setTabKeyNavigation(false);
    view.horizontalHeader()->setStretchLastSection(true);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setSelectionMode(QAbstractItemView::SingleSelection);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void SetupGrid(QTableView& view, DataSetModel& model) {
    view.setModel(&model);
    // Widths the user dragged survive every later layout: another packet, a loop run with the
    // controls disabled.
    auto userWidths = std::make_shared<std::map<int, int>>();
    auto layingOut = std::make_shared<bool>(false);
    auto layOut = [&view, &model, userWidths, layingOut] {
        *layingOut = true;
        ApplyGridLook(view, model);
        for (const auto& [column, width] : *userWidths) view.horizontalHeader()->resizeSection(column, width);
        *layingOut = false;
    };
    QObject::connect(view.horizontalHeader(), &QHeaderView::sectionResized, &view,
                     [userWidths, layingOut](int column, int, int width) {
                         if (!*layingOut) (*userWidths)[column] = width;
                     });
    layOut();
    // A reset (another packet, a loop run with the controls disabled) clears the view's current
    // cell; it comes back on the data set's cursor, in the column it was in.
    auto column = std::make_shared<int>(0);
    QObject::connect(&model, &QAbstractItemModel::modelAboutToBeReset, &view,
                     [&view, column] { *column = std::max(view.currentIndex().column(), 0); });
    QObject::connect(&model, &QAbstractItemModel::modelReset, &view, [&view, &model, column, layOut] {
        layOut();  // another packet may bring other fields, and other contents
        const int row = model.dataSet().RecNo();
        if (row >= 0 && row < model.rowCount() && model.columnCount() > 0)
            view.setCurrentIndex(model.index(row, std::min(*column, model.columnCount() - 1)));
    });

    QObject::connect(&model, &DataSetModel::currentRowChanged, &view, [&view, &model](int row) {
        const int column = std::max(view.currentIndex().column(), 0);
        if (row >= 0 && row < model.rowCount() && view.currentIndex().row() != row)
            view.setCurrentIndex(model.index(row, column));
    });
    QObject::connect(view.selectionModel(), &QItemSelectionModel::currentRowChanged, &model,
                     [&model](const QModelIndex& current) {
                         TClientDataSet& ds = model.dataSet();
                         if (current.isValid() && current.row() != ds.RecNo()) ds.MoveTo(current.row());
                     });
}

}  // namespace krv::host
