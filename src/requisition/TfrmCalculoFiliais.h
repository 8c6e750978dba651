#pragma once
#include <QDialog>
#include <QString>
#include <memory>

#include "core/ClientDataSet.h"
#include "core/DataPacket.h"
#include "ui_TfrmCalculoFiliais.h"
#include "ui_TfrmResultadoFiliais.h"

namespace krv::host {
class DataSetModel;
}

namespace krv::requisition {

// What the calculation of every kitchen asks before it starts: the increase, the rounding and
// the consumption types, first as the requisition screen has them.
class TfrmCalculoFiliais : public QDialog, public Ui::TfrmCalculoFiliais {
    Q_OBJECT
public:
    struct Opcoes {
        double acrescimo = 0;
        bool arredonda = false;
        bool materiaPrima = true, consumoFixo = true, perCapita = true;
    };
    TfrmCalculoFiliais(const QString& descricao, const Opcoes& opcoes, QWidget* parent = nullptr);

    // "S"/"N", and the three letters the server takes ("CFP", "XFX", …).
    QString Arredonda() const;
    QString TiposConsumo() const;
};

// The outcome of the calculation, one row per kitchen (the server's packet, with the kitchens
// never reached under the same fields), and a summary line above it.
class TfrmResultadoFiliais : public QDialog, public Ui::TfrmResultadoFiliais {
    Q_OBJECT
public:
    TfrmResultadoFiliais(const DataPacket& resultado, const QString& resumo, QWidget* parent = nullptr);
    ~TfrmResultadoFiliais() override;

    TClientDataSet cdsResultado;

private:
    std::unique_ptr<host::DataSetModel> resultadoModel;
};

}  // namespace krv::requisition
