#include "requisition/TfrmCalculoFiliais.h"

#include <QPushButton>

#include "host/models/DataSetModel.h"

namespace krv::requisition {

using namespace krv::host;

TfrmCalculoFiliais::TfrmCalculoFiliais(const QString& descricao, const Opcoes& opcoes, QWidget* parent)
    : QDialog(parent) {
    setupUi(this);
    lblOperador->setText(descricao);
    nedAcresc->setValue(opcoes.acrescimo);
    chbArredond->setChecked(opcoes.arredonda);
    chbMateriaPrima->setChecked(opcoes.materiaPrima);
    chbConsumoFixo->setChecked(opcoes.consumoFixo);
    chbConsumoPerCapita->setChecked(opcoes.perCapita);
    connect(btnCalcular, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
}

QString TfrmCalculoFiliais::Arredonda() const { return chbArredond->isChecked() ? "S" : "N"; }

QString TfrmCalculoFiliais::TiposConsumo() const {
    return QString(chbMateriaPrima->isChecked() ? "C" : "X") + (chbConsumoFixo->isChecked() ? "F" : "X") +
           (chbConsumoPerCapita->isChecked() ? "P" : "X");
}

TfrmResultadoFiliais::TfrmResultadoFiliais(const DataPacket& resultado, const QString& resumo, QWidget* parent)
    : QDialog(parent) {
    setupUi(this);
    lblResumo->setText(resumo);
    cdsResultado.SetData(resultado);
    resultadoModel = std::make_unique<DataSetModel>(
        cdsResultado, std::vector<GridColumn>{{"CDFILIAL", "Filial", 50},
                                              {"NMFILIAL", "Nome", 180},
                                              {"QTREQUISICOES", "Requisições", 80},
                                              {"QTITENS", "Itens", 60},
                                              {"DSSEMCARDAPIO", "Serviços sem cardápio", 160},
                                              {"DSSITUACAO", "Situação", 220},
                                              {"DSAVISOS", "Avisos", 400}});
    SetupGrid(*dbgResultado, *resultadoModel);
    connect(btnFechar, &QPushButton::clicked, this, &QDialog::accept);
}

TfrmResultadoFiliais::~TfrmResultadoFiliais() = default;

}  // namespace krv::requisition
