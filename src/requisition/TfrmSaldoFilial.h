#pragma once
#include <QDate>
#include <QDialog>
#include <QString>
#include <memory>

#include "requisition/QuantityGrid.h"
#include "ui_TfrmSaldoFilial.h"

namespace krv::host {
class TNetConnection;
}

namespace krv::requisition {

// "Saldo da Filial": a kitchen's products with their shelf life, last count and what is
// expected to be available at the start of a chosen day, read again whenever the day
// changes; the counts typed are stored as counted on that day ("Gravar"), then read again.
// Esc closes it. The controls come from TfrmSaldoFilial.ui.
class TfrmSaldoFilial : public QDialog, public Ui::TfrmSaldoFilial {
    Q_OBJECT
public:
    // Reads the kitchen's products on `data` at once; a failure leaves no window.
    TfrmSaldoFilial(host::TNetConnection& net, const QString& filial, QDate data, QWidget* parent = nullptr);
    ~TfrmSaldoFilial() override;

private:
    void getSaldo();
    void btnGravarClick();

    host::TNetConnection& net;
    QString filial;
    std::unique_ptr<QuantityGrid> grade;
};

}  // namespace krv::requisition
