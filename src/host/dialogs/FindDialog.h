#pragma once
#include <QDialog>

class QComboBox;
class QLineEdit;

namespace krv {
class TClientDataSet;
}

namespace krv::host {

class DataSetModel;

// Find in a data set: the user chooses one of its visible fields and types a text; the
// data set moves to the next row whose shown value contains it (case ignored), going round
// from the end to the start.
class FindDialog : public QDialog {
    Q_OBJECT
public:
    explicit FindDialog(TClientDataSet& ds, QWidget* parent = nullptr);
    ~FindDialog() override;

    QComboBox* fieldBox() const { return field_; }
    QLineEdit* textEdit() const { return text_; }

    // Moves to the next matching row after the current one; false (and a message) when
    // no row matches.
    bool findNext();

private:
    TClientDataSet& ds_;
    DataSetModel* model_;
    QComboBox* field_;
    QLineEdit* text_;
};

}  // namespace krv::host
