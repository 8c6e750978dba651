#include "ordergen/TfrmPedidos.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <iterator>
#include <set>

#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/models/DataSetModel.h"
#include "host/screens/Consiste.h"
#include "host/session/NetConnection.h"
#include "host/session/Session.h"
#include "ordergen/PedidosGerados.h"
#include "ordergen/TfrmItensRequisicao.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

const char* const kSituacoes[] = {"A", "E", "R", "C", "T"};

DateTime Dia(const QDate& date) { return DateTime::fromDate(date.year(), date.month(), date.day()); }

QString Texto(TClientDataSet& ds, const char* field) { return QString::fromStdString(ds.FieldByName(field).AsString()); }

QString Plural(int count, const char* one, const char* many) {
    return QString::number(count) + " " + (count == 1 ? one : many);
}

}  // namespace

TfrmPedidos::TfrmPedidos(TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim,
                         QWidget* parent)
    : TfrmDadosGerRel(parent), net(net) {
    setupUi(ContentArea());
    QWidget* form = ContentArea();
    setWindowTitle(form->windowTitle());
    lblCodTela->setText(form->property("lblCodTela").toString());
    lblCodRel->setText(form->property("lblCodRel").toString());
    rpddPadrao.ReportCode = lblCodRel->text();
    medFilial->setText(filial);
    depDtInicio->setDate(QDate(inicio.year(), inicio.month(), inicio.day()));
    depDtFim->setDate(QDate(fim.year(), fim.month(), fim.day()));
    cbxSituacao->setCurrentIndex(int(std::size(kSituacoes)) - 1);  // "Todos"

    pedidosModel = std::make_unique<DataSetModel>(
        cdsPedidos, std::vector<GridColumn>{{"NRPEDEXOL", "Pedido", 70},      {"CDFILIOPELOG", "Op. Log.", 60},
                                            {"CDFILIAL", "Filial", 50},        {"NMFILIAL", "Nome", 180},
                                            {"CDSERVFILI", "Serviço", 60},     {"NMTURNO", "Turno", 70},
                                            {"DTPEDIDO", "Entrega", 80},       {"CDOPERADOR", "Operador", 80},
                                            {"DTLANCAMENTO", "Gerado em", 130}, {"DSSITUACAO", "Situação", 80},
                                            {"DTSITUACAO", "Desde", 130},      {"QTLINHAS", "Linhas", 50}});
    itensModel = std::make_unique<DataSetModel>(
        cdsItensPedido, std::vector<GridColumn>{{"CDPRODUTO", "Produto", 86},       {"NMPRODUTO", "Descrição", 180},
                                                {"SGUNIDADE", "Unid.", 40},         {"QTNECESSARIA", "Necessário", 80},
                                                {"QTPEDIDO", "Pedido", 80},         {"QTEMBALAGENS", "Embal.", 50},
                                                {"QTSOBRA", "Sobra", 70},           {"QTSALDO", "Do estoque", 80},
                                                {"QTRECEBIDA", "Recebido", 80}});
    requisicoesModel = std::make_unique<DataSetModel>(
        cdsRequisicoesPedido,
        std::vector<GridColumn>{{"NRREQUIPEDIDO", "Requisição", 70}, {"CDFILIAL", "Filial", 50},
                                {"CDSERVFILI", "Serviço", 60},       {"CDTURNO", "Turno", 40},
                                {"DTREQUIPEDIDO", "Dia", 80},        {"IDTIPOCONSUMO", "Tipo", 40},
                                {"QTREQUISITADA", "Quantidade", 80}});
    SetupGrid(*dbgPedidos, *pedidosModel);
    SetupGrid(*dbgItens, *itensModel);
    SetupGrid(*dbgRequisicoes, *requisicoesModel);
    dbgPedidos->setSelectionMode(QAbstractItemView::ExtendedSelection);
    dbgPedidos->setSelectionBehavior(QAbstractItemView::SelectRows);

    connect(pedidosModel.get(), &DataSetModel::currentRowChanged, this,
            [this](int) { Guard([&] { dbgPedidosRowChanged(); }); });
    connect(itensModel.get(), &DataSetModel::currentRowChanged, this,
            [this](int) { Guard([&] { dbgItensRowChanged(); }); });
    const std::pair<QPushButton*, void (TfrmPedidos::*)()> actions[] = {
        {sbtAtualizar, &TfrmPedidos::sbtAtualizarClick},
        {sbtExplicar, &TfrmPedidos::sbtExplicarClick},
        {sbtMarcarEnviados, &TfrmPedidos::sbtMarcarEnviadosClick},
        {sbtCancelarPedidos, &TfrmPedidos::sbtCancelarPedidosClick},
        {sbtReceber, &TfrmPedidos::sbtReceberClick},
        {sbtExplicarLinha, &TfrmPedidos::sbtExplicarLinhaClick}};
    for (const auto& [button, handler] : actions)
        ConnectGuarded(button, &QAbstractButton::clicked, this, [this, handler = handler](bool) { (this->*handler)(); });
    SetShortcut(sbtAtualizar, Qt::Key_F5, this);
    SetShortcut(sbtExplicar, Qt::Key_F3, this);
    SetShortcut(sbtMarcarEnviados, Qt::Key_F6, this);
    SetShortcut(sbtCancelarPedidos, Qt::Key_F7, this);
    SetShortcut(sbtReceber, Qt::Key_F4, this);
    SetShortcut(sbtExplicarLinha, Qt::Key_F9, this);
    rpddPadrao.BeforeGetQueryParams = [this](TParams& params, bool&) { preencheParametros(params); };
}

TfrmPedidos::~TfrmPedidos() = default;

TfrmPedidos* TfrmPedidos::Abre(TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim,
                               QWidget* parent, int64_t primeiro, int64_t ultimo) {
    auto* janela = new TfrmPedidos(net, filial, inicio, fim, parent);
    janela->setWindowFlag(Qt::Window);
    // Over a modal screen, a window of its own must be modal too to take input.
    janela->setWindowModality(Qt::ApplicationModal);
    janela->setAttribute(Qt::WA_DeleteOnClose);
    janela->resize(960, 640);
    janela->show();
    Guard([&] {
        janela->sbtAtualizarClick();
        if (primeiro) janela->SelecionaPedidos(primeiro, ultimo);
    });
    return janela;
}

void AbrePedidosGerados(TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim, QWidget* parent,
                        int64_t primeiro, int64_t ultimo) {
    TfrmPedidos::Abre(net, filial, inicio, fim, parent, primeiro, ultimo);
}

QString TfrmPedidos::filialInformada() {
    const QString filial = Ajusta(medFilial->text(), ajOrderBranch);
    if (filial.isEmpty()) MensErroEm(medFilial, QString::fromUtf8("Filial deve ser informada (T para todas)."));
    if (depDtFim->date() < depDtInicio->date())
        MensErroEm(depDtInicio, QString::fromUtf8("Data inicial deve ser menor ou igual a data final."));
    return filial;
}

void TfrmPedidos::sbtAtualizarClick() {
    const QString filial = filialInformada();
    WithBusy([&] {
        cdsPedidos.SetData(CheckResultServ(net.Call("GetPedidos", {filial, Dia(depDtInicio->date()),
                                                                   Dia(depDtFim->date()),
                                                                   kSituacoes[cbxSituacao->currentIndex()]}),
                                           true, 0));
    });
    int linhas = 0;
    const DataPacket pedidos = cdsPedidos.Data();
    const int campo = pedidos.fieldIndex("QTLINHAS");
    for (const Row& row : pedidos.rows) linhas += int(row[size_t(campo)].asInt());
    lblStatus->setText(Plural(int(pedidos.rows.size()), "pedido", "pedidos") + ", " +
                       Plural(linhas, "linha", "linhas"));
    dbgPedidosRowChanged();
}

void TfrmPedidos::dbgPedidosRowChanged() {
    cdsRequisicoesPedido.SetFiltered(false);  // its field goes with the rows
    cdsItensPedido.SetData(DataPacket{});
    cdsRequisicoesPedido.SetData(DataPacket{});
    habilitaReceber();
    if (cdsPedidos.IsEmpty()) return;
    const Variant numero = cdsPedidos.FieldByName("NRPEDEXOL").Value();
    WithBusy([&] { cdsItensPedido.SetData(CheckResultServ(net.Call("GetItensPedido", {numero}), true, 0)); });
    // A cancelled order gave its requisitions back: there is nothing to lead to.
    if (Texto(cdsPedidos, "IDSITUACAO") != "C")
        WithBusy([&] {
            cdsRequisicoesPedido.SetData(CheckResultServ(net.Call("GetRequisicoesPedido", {numero}), true, 0));
        });
    dbgItensRowChanged();
}

void TfrmPedidos::dbgItensRowChanged() {
    // A cancelled order's requisitions were not read: there is nothing to narrow.
    if (cdsItensPedido.IsEmpty() || cdsRequisicoesPedido.FieldIndex("CDPRODUTO") < 0) return;
    cdsRequisicoesPedido.SetFilter("CDPRODUTO = '" + cdsItensPedido.FieldByName("CDPRODUTO").AsString() + "'");
    cdsRequisicoesPedido.SetFiltered(true);
}

void TfrmPedidos::sbtExplicarClick() {
    if (cdsRequisicoesPedido.IsEmpty()) return;
    const QString descricao = Texto(cdsRequisicoesPedido, "CDSERVFILI") + ", turno " +
                              Texto(cdsRequisicoesPedido, "CDTURNO") + ", " +
                              ToQString(cdsRequisicoesPedido.FieldByName("DTREQUIPEDIDO").AsDateTime().toBr());
    TfrmItensRequisicao janela(net, int64_t(cdsRequisicoesPedido.FieldByName("NRREQUIPEDIDO").AsFloat()), descricao,
                               this);
    // The requisition opens on the line's product, explained.
    if (janela.cdsItens.FieldIndex("CDPRODUTO") >= 0)
        janela.cdsItens.Locate("CDPRODUTO", cdsRequisicoesPedido.FieldByName("CDPRODUTO").Value());
    HostUi::instance().execDialog(janela);
}

QString TfrmPedidos::PedidosSelecionados() {
    if (cdsPedidos.IsEmpty()) return {};
    std::set<int> linhas;
    for (const QModelIndex& index : dbgPedidos->selectionModel()->selectedRows()) linhas.insert(index.row());
    if (linhas.empty()) linhas.insert(cdsPedidos.RecNo());
    const DataPacket pedidos = cdsPedidos.Data();
    const int campo = pedidos.fieldIndex("NRPEDEXOL");
    QString chaves = "_";
    for (const int linha : linhas) chaves += ToQString(pedidos.rows.at(size_t(linha))[size_t(campo)]) + "_";
    return chaves;
}

void TfrmPedidos::SelecionaPedidos(int64_t primeiro, int64_t ultimo) {
    const DataPacket pedidos = cdsPedidos.Data();
    const int campo = pedidos.fieldIndex("NRPEDEXOL");
    QItemSelection selecao;
    for (size_t i = 0; i < pedidos.rows.size(); ++i) {
        const int64_t numero = pedidos.rows[i][size_t(campo)].asInt();
        if (numero >= primeiro && numero <= ultimo)
            selecao.select(pedidosModel->index(int(i), 0), pedidosModel->index(int(i), pedidosModel->columnCount() - 1));
    }
    dbgPedidos->selectionModel()->select(selecao, QItemSelectionModel::ClearAndSelect);
}

void TfrmPedidos::sbtCancelarPedidosClick() {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) return;
    if (HostUi::instance().messageDlg(QString::fromUtf8("Cancelar os pedidos %1? Suas requisições serão liberadas.")
                                          .arg(pedidos.mid(1).chopped(1).replace('_', ", ")),
                                      MsgDlgType::Confirmation, mbYes | mbNo) != mrYes)
        return;
    // Each order is checked against its own branch on the server: none is named here.
    WithBusy([&] { CheckResultServ(net.Call("CancelaPedido", {pedidos, Operador(), QString()}), true, 0); });
    sbtAtualizarClick();
}

void TfrmPedidos::sbtMarcarEnviadosClick() {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) return;
    marcaEnviados(pedidos);
}

void TfrmPedidos::marcaEnviados(const QString& pedidos) {
    WithBusy([&] { CheckResultServ(net.Call("MarcaPedidosEnviados", {pedidos, Operador()}), true, 0); });
    sbtAtualizarClick();
}

void TfrmPedidos::ofereceMarcarEnviados(const QString& pedidos) {
    if (HostUi::instance().messageDlg(QString::fromUtf8("Marcar os pedidos impressos como enviados ao operador "
                                                        "logístico?"),
                                      MsgDlgType::Confirmation, mbYes | mbNo) == mrYes)
        marcaEnviados(pedidos);
}

void TfrmPedidos::preencheParametros(TParams& params) {
    const auto set = [&](const char* name, Variant value) {
        if (ExistParam(params, name)) params.ParamByName(name).SetAsVariant(std::move(value));
    };
    set("P_CDFILIAL", Variant(ToStd(filialInformada())));
    set("P_DATAINI", Variant(Dia(depDtInicio->date())));
    set("P_DATAFIN", Variant(Dia(depDtFim->date())));
    set("P_PEDIDOS", Variant(ToStd(PedidosSelecionados())));
    set("P_IDQUEBRAPAGINA", Variant(chbQuebraPagina->isChecked() ? "S" : "N"));
}

// Only active orders are offered to be marked: a sent one keeps its first date.
void TfrmPedidos::sbtPrintClick(QObject* Sender) {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) MensErro(QString::fromUtf8("Não há pedido para imprimir."), true);
    TfrmDadosGerRel::sbtPrintClick(Sender);
    if (Texto(cdsPedidos, "IDSITUACAO") == "A") ofereceMarcarEnviados(pedidos);
}

void TfrmPedidos::sbtPreviewClick(QObject* Sender) {
    if (PedidosSelecionados().isEmpty()) MensErro(QString::fromUtf8("Não há pedido para visualizar."), true);
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmPedidos::sbtSalvarComoClick(QObject* Sender) {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) MensErro(QString::fromUtf8("Não há pedido para salvar."), true);
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
    if (Texto(cdsPedidos, "IDSITUACAO") == "A") ofereceMarcarEnviados(pedidos);
}

}  // namespace krv::ordergen
