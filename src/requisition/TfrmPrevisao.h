#pragma once
#include <QDialog>
#include <QString>
#include <memory>

#include "core/ClientDataSet.h"
#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "ui_TfrmPrevisao.h"

namespace krv::host {
class DataSetModel;
class TNetConnection;
}  // namespace krv::host

namespace krv::requisition {

// A logistic operator's consumption forecast of a period.
struct ForecastPeriod {
    QString operador;
    DateTime inicio;
    DateTime fim;
};

// "Ver Previsão": the forecast a logistic operator calculated, read-only, with the totals
// per product of the period, the make-up of the current row, and its CSV. A month of a large
// operator is many thousand rows, so the forecast loads on a thread of its own, over a
// connection of its own, with the busy animation on; the window answers meanwhile.
class TfrmPrevisao : public QDialog, public Ui::TfrmPrevisao {
    Q_OBJECT
public:
    // `net` is the requisition screen's connection: the explanations go through it, and the
    // load's connection copies its address.
    TfrmPrevisao(host::TNetConnection& net, ForecastPeriod period, QWidget* parent = nullptr);
    ~TfrmPrevisao() override;

    bool Carregando() const { return carregando; }

    TClientDataSet cdsPrevisao;
    TClientDataSet cdsTotais;
    TClientDataSet cdsExplicacao;

signals:
    void carregada();  // the load ended, the rows shown or its failure told

private:
    struct Load;
    void setupGrids();
    void carrega();
    void cargaConcluida(const Load& load);
    void somaTotais();
    void ajustaTotais();
    void dbgPrevisaoRowChanged(int row);
    void btnSalvarCsvClick();

    host::TNetConnection& net;
    ForecastPeriod periodo;
    bool carregando = false;
    DataPacket previsao;  // as the server sent it: the CSV is that of krv-call --csv
    // Declared after their data sets, so they go first.
    std::unique_ptr<host::DataSetModel> previsaoModel;
    std::unique_ptr<host::DataSetModel> totaisModel;
    std::unique_ptr<host::DataSetModel> explicacaoModel;
};

}  // namespace krv::requisition
