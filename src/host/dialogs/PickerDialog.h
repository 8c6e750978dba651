#pragma once
#include <QDialog>

class QLineEdit;
class QSortFilterProxyModel;
class QTableView;

namespace krv {
class TClientDataSet;
}

namespace krv::host {

class DataSetModel;

// Single-row lookup: a grid of the data set's visible fields with their labels, narrowed
// as the user types (any shown column containing the text, case ignored). Enter or a double
// click picks the current row: the dialog is accepted and the data set positioned on it.
class PickerDialog : public QDialog {
    Q_OBJECT
public:
    PickerDialog(TClientDataSet& ds, const QString& title, QWidget* parent = nullptr);
    ~PickerDialog() override;

    QLineEdit* filterEdit() const { return filter_; }
    QTableView* grid() const { return grid_; }
    int shownRows() const;  // rows left by the filter

    // Picks the current row (the first shown one when none is current); false, and the
    // dialog stays open, when no row is shown.
    bool pick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TClientDataSet& ds_;
    DataSetModel* model_;
    QSortFilterProxyModel* proxy_;
    QLineEdit* filter_;
    QTableView* grid_;
};

}  // namespace krv::host
