#pragma once
#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <map>
#include <string>
#include <vector>

class QFontMetrics;
class QTableView;

namespace krv {
class TClientDataSet;
class Variant;
}

namespace krv::host {

// One grid column chosen by the screen instead of the data set's visible fields.
struct GridColumn {
    std::string field;  // a field of the data set; a missing one reads empty
    QString title;      // empty: the field's display label
    int widthPx = 0;    // 0: from the field's display width
};

enum class MarkState { Unchecked, Checked, Gray };

// A read-only table model over a TClientDataSet for grids and pickers. Rows are the data
// set's visible rows; columns its visible persistent fields, or an explicit list. A column
// bound to IDMARCADO is the mark column, drawn as a picture by MarkDelegate.
// The model must not outlive its data set: a screen keeps it as a member declared after the
// data set (or deletes it first), not as a child QObject, which Qt deletes only after the
// screen's members are gone.
class DataSetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int MarkStateRole = Qt::UserRole + 1;
    static constexpr const char* kMarkField = "IDMARCADO";

    explicit DataSetModel(TClientDataSet& ds, QObject* parent = nullptr);
    DataSetModel(TClientDataSet& ds, std::vector<GridColumn> columns, QObject* parent = nullptr);
    ~DataSetModel() override;

    TClientDataSet& dataSet() const { return ds_; }
    int fieldOf(int column) const { return columns_[column].field; }
    int markColumn() const { return markColumn_; }

    // Where the mark column reads its state; by default IDMARCADO = "S" and never gray.
    void setMarkSource(std::function<bool(int row)> isMarked);
    // A gray row's mark is gray and its text too: a row the screen's action leaves out.
    void setGrayed(std::function<bool(int row)> isGray);
    // What a row says when the mouse rests on any of its cells; empty: nothing.
    void setRowToolTip(std::function<QString(int row)> toolTip);
    // The text of `field`'s cells, instead of its value as stored.
    void setFormat(const std::string& field, std::function<QString(const Variant&)> format);
    // Repaints the mark column after the mark source changed outside the data set.
    void marksChanged(int firstRow, int lastRow);

    // Pixels: an explicit width, else the display width (or size) in average characters;
    // either way never narrower than the title. A grid makes it wider still for its values.
    int columnWidth(int column, const QFontMetrics& fm) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // The data set's cursor moved to this visible row.
    void currentRowChanged(int row);

private:
    struct Column {
        int field = -1;
        QString title;
        int widthPx = 0;
    };
    void rebuildColumns();
    void resetFromDataSet();
    void recordChanged(int row);

    TClientDataSet& ds_;
    std::vector<GridColumn> explicit_;
    bool useVisibleFields_;
    std::vector<Column> columns_;
    int markColumn_ = -1;
    int rows_ = 0;
    int listener_ = 0;
    std::function<bool(int)> isMarked_;
    std::function<bool(int)> isGray_;
    std::function<QString(int)> toolTip_;
    std::map<std::string, std::function<QString(const Variant&)>> formats_;
};

// The host's grid look for a view showing `model` directly or through a proxy that keeps its
// columns: widths from the model, one fixed row height (what keeps 100 000 rows fast), no
// row header, the mark picture in the mark column.
void ApplyGridLook(QTableView& view, const DataSetModel& model);

// A picker's grid: whole rows selected one at a time, nothing edited, the last column filling
// the width.
void ApplyPickerLook(QTableView& view);

// Shows `model` in a grid with the host's look, the data set's cursor following the current
// cell both ways.
void SetupGrid(QTableView& view, DataSetModel& model);

}  // namespace krv::host
