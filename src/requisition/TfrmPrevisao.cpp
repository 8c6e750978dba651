#include "requisition/TfrmPrevisao.h"

#include <QAbstractButton>
#include <QFile>
#include <QHeaderView>
#include <QLayout>
#include <QScrollBar>
#include <QThread>
#include <exception>
#include <map>

#include "core/Errors.h"
#include "core/NumberText.h"
#include "core/PacketCsv.h"
#include "host/dialogs/HostUi.h"
#include "host/dialogs/SaveFiles.h"
#include "host/models/Convert.h"
#include "host/models/DataSetModel.h"
#include "host/screens/Consiste.h"
#include "host/session/DBPicture.h"
#include "host/events/EventHelpers.h"
#include "host/session/NetConnection.h"
#include "requisition/ExplanationGrid.h"

namespace krv::requisition {

using namespace krv::host;

// What the load's thread hands back: the raw outcome, or what went wrong on the way.
struct TfrmPrevisao::Load {
    Variant outcome;
    std::exception_ptr failure;
};

namespace {

const std::vector<FieldDef> kTotalFields{{"CDPRODUTO", FieldType::String, 10},
                                         {"NMPRODUTO", FieldType::String, 60},
                                         {"SGUNIDADE", FieldType::String, 4},
                                         {"QTTOTAL", FieldType::Float, 0}};

size_t columnOf(const DataPacket& packet, const std::string& name) {
    for (size_t i = 0; i < packet.fields.size(); ++i)
        if (packet.fields[i].name == name) return i;
    throw EServerError("Resposta do servidor sem o campo " + name + ".");
}

}  // namespace

TfrmPrevisao::TfrmPrevisao(TNetConnection& net, ForecastPeriod period, QWidget* parent)
    : QDialog(parent), net(net), periodo(std::move(period)) {
    setupUi(this);
    lblPeriodo->setText(
        lblPeriodo->text().arg(periodo.operador, ToQString(periodo.inicio.toBr()), ToQString(periodo.fim.toBr())));
    setupGrids();
    ConnectGuarded(btnSalvarCsv, &QAbstractButton::clicked, this, [this](bool) { btnSalvarCsvClick(); });
    connect(btnFechar, &QAbstractButton::clicked, this, &QDialog::reject);
    carrega();
}

TfrmPrevisao::~TfrmPrevisao() {
    // Closed before its rows came: the thread ends on its own, the animation ends here.
    if (carregando) DeactiveShowAvi();
}

void TfrmPrevisao::setupGrids() {
    previsaoModel =
        std::make_unique<DataSetModel>(cdsPrevisao, std::vector<GridColumn>{{"CDFILIAL", "Filial", 48},
                                                                            {"CDSERVFILI", "Serviço", 56},
                                                                            {"NMSERVICO", "Nome do serviço", 130},
                                                                            {"DTPREVISAO", "Dia", 80},
                                                                            {"CDPRODUTO", "Produto", 86},
                                                                            {"NMPRODUTO", "Descrição", 200},
                                                                            {"SGUNIDADE", "Unid.", 44},
                                                                            {"QTPREVISTA", "Quantidade", 90},
                                                                            {"CDOPERADOR", "Calculada por", 96},
                                                                            {"DTLANCAMENTO", "Em", 140}});
    totaisModel = std::make_unique<DataSetModel>(cdsTotais, std::vector<GridColumn>{{"CDPRODUTO", "Produto", 86},
                                                                                    {"NMPRODUTO", "Descrição", 170},
                                                                                    {"SGUNIDADE", "Unid.", 44},
                                                                                    {"QTTOTAL", "Total", 90}});
    explicacaoModel = std::make_unique<DataSetModel>(cdsExplicacao, ExplanationColumns());
    const auto codigo = ProductCodeFormat();
    previsaoModel->setFormat("CDPRODUTO", codigo);
    totaisModel->setFormat("CDPRODUTO", codigo);
    SetupGrid(*dbgPrevisao, *previsaoModel);
    SetupGrid(*dbgTotais, *totaisModel);
    SetupGrid(*dbgExplicacao, *explicacaoModel);
    // Each pane takes its share of a wider window.
    splDetalhe->setStretchFactor(0, 1);
    splDetalhe->setStretchFactor(1, 2);
    connect(previsaoModel.get(), &DataSetModel::currentRowChanged, this,
            [this](int row) { Guard([&] { dbgPrevisaoRowChanged(row); }); });
}

void TfrmPrevisao::carrega() {
    if (!net.Connected()) net.SetConnected(true);  // its BeforeConnect sets address and token
    auto load = std::make_shared<Load>();
    QThread* worker = QThread::create([load, server = net.ServerName, host = net.Host, port = net.Port,
                                       token = net.Token, timeout = net.TimeoutMs, p = periodo] {
        try {
            TNetConnection own;
            own.ServerName = server;
            own.Host = host;
            own.Port = port;
            own.Token = token;
            own.TimeoutMs = timeout;
            own.ThrowException = false;
            load->outcome = own.Call("GetPrevisaoConsumo", {p.operador, p.inicio, p.fim});
        } catch (...) {
            load->failure = std::current_exception();
        }
    });
    connect(worker, &QThread::finished, this, [this, load] { cargaConcluida(*load); });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    carregando = true;
    ActiveShowAvi(this, 1);
    worker->start();
}

void TfrmPrevisao::cargaConcluida(const Load& load) {
    carregando = false;
    DeactiveShowAvi();
    lblSituacao->setText("A previsão não pôde ser carregada.");
    Guard([&] {
        if (load.failure) std::rethrow_exception(load.failure);
        previsao = CheckResultServ(load.outcome, true, 0).packet();
        cdsPrevisao.SetData(previsao);
        somaTotais();
        dbgPrevisaoRowChanged(0);  // the cursor starts on the first row, which is thus chosen
        ajustaTotais();
        lblSituacao->setText(
            previsao.rows.empty()
                ? QString("Nenhuma previsão calculada para o período.")
                : QString("%1 linhas, %2 produtos.")
                      .arg(QString::fromStdString(countText(int64_t(previsao.rows.size()))),
                           QString::fromStdString(countText(cdsTotais.RecordCount()))));
        btnSalvarCsv->setEnabled(!previsao.rows.empty());
    });
    emit carregada();
}

// The totals pane as wide as its columns, so that no total hides past its edge; the
// explanation has the rest.
void TfrmPrevisao::ajustaTotais() {
    const QHeaderView& header = *dbgTotais->horizontalHeader();
    int largura = header.length() + dbgTotais->verticalScrollBar()->sizeHint().width() + 2 * dbgTotais->frameWidth();
    const QMargins margens = grbTotais->contentsMargins() + grbTotais->layout()->contentsMargins();
    largura += margens.left() + margens.right();
    grbTotais->setMinimumWidth(std::min(largura, width() / 2));
    splDetalhe->setSizes({largura, std::max(splDetalhe->width() - largura, 0)});
}

void TfrmPrevisao::somaTotais() {
    const size_t code = columnOf(previsao, "CDPRODUTO"), name = columnOf(previsao, "NMPRODUTO"),
                 unit = columnOf(previsao, "SGUNIDADE"), quantity = columnOf(previsao, "QTPREVISTA");
    std::map<std::string, Row> totals;
    for (const Row& row : previsao.rows) {
        Row& total =
            totals.try_emplace(row[code].asString(), Row{row[code], row[name], row[unit], Variant(0.0)}).first->second;
        // Rounded as stored, so that the totals are the decimal sums of what the rows show.
        total[3] = Variant(roundedQuantity(total[3].asDouble() + row[quantity].asDouble()));
    }
    DataPacket packet{kTotalFields, {}};
    for (auto& [key, row] : totals) packet.rows.push_back(std::move(row));
    cdsTotais.SetData(std::move(packet));
}

void TfrmPrevisao::dbgPrevisaoRowChanged(int) {
    if (cdsPrevisao.IsEmpty()) return;
    const auto field = [&](const char* name) { return cdsPrevisao.FieldByName(name).Value(); };
    WithBusy([&] {
        cdsExplicacao.SetData(
            CheckResultServ(net.Call("ExplicaItemPrevisao", {periodo.operador, field("CDFILIAL"), field("CDSERVFILI"),
                                                             field("DTPREVISAO"), field("CDPRODUTO")}),
                            true, 0));
    });
}

void TfrmPrevisao::btnSalvarCsvClick() {
    const QString proposed = FileNameOf({"previsao", periodo.operador, ToQString(periodo.inicio.toBr()), "a",
                                         ToQString(periodo.fim.toBr())});
    const QString name = HostUi::instance().saveFileName("Salvar CSV", "Arquivos CSV (*.csv)", proposed);
    if (name.isEmpty()) return;
    // The file is for people: product codes as the windows show them.
    DataPacket linhas = previsao;
    const size_t coluna = columnOf(linhas, "CDPRODUTO");
    const auto codigo = ProductCodeFormat();
    for (Row& row : linhas.rows) row[coluna] = Variant(ToStd(codigo(row[coluna])));
    const std::string text = csvText(linhas);
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush())
        throw std::runtime_error(ToStd("Não foi possível gravar o arquivo " + name + "."));
    ShowSaved(name);
}

}  // namespace krv::requisition
