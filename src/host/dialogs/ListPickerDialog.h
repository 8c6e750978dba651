#pragma once
#include <QDialog>

#include <vector>

class QTableView;

namespace krv {
class TClientDataSet;
}

namespace krv::host {

class DataSetModel;

// Multi-row picker: the data set's visible fields after a mark column. A click on the mark
// column or the space bar marks or unmarks the current row; buttons mark or unmark all.
// Rows whose key is in the key list given start marked. The marks live in the dialog, so
// cancelling changes nothing; keys() gives the confirmed key list.
class ListPickerDialog : public QDialog {
    Q_OBJECT
public:
    // `caption` is "title|text shown when there is no row". Throws std::invalid_argument
    // when `keyField` is no field of `ds`.
    ListPickerDialog(TClientDataSet& ds, const QString& keyField, const QString& caption, const QString& keys,
                     QWidget* parent = nullptr);
    ~ListPickerDialog() override;

    QTableView* grid() const { return grid_; }
    bool isMarked(int row) const { return marks_[row] != 0; }
    void toggle(int row);
    void markAll(bool on);
    int markedCount() const;
    // "_k1_k2_…_" of the marked rows in data set order; "" when none is marked.
    QString keys() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TClientDataSet& ds_;
    int keyField_;
    std::vector<char> marks_;
    DataSetModel* model_;
    QTableView* grid_;
};

}  // namespace krv::host
