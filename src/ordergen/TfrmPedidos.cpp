#include "ordergen/TfrmPedidos.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QShortcut>
#include <QTableView>
#include <iterator>
#include <set>
#include <utility>

#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/models/DataSetModel.h"
#include "host/screens/Consiste.h"
#include "host/session/DBPicture.h"
#include "host/session/NetConnection.h"
#include "host/session/RoleActions.h"
#include "host/session/Session.h"
#include "ordergen/Contagem.h"
#include "ordergen/PedidosGerados.h"
#include "ordergen/TfrmItensRequisicao.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

const char* const kSituacoes[] = {"A", "E", "R", "C", "T"};

DateTime Dia(const QDate& date) { return DateTime::fromDate(date.year(), date.month(), date.day()); }

// A count the server answered in its array; 0 when it did not.
int64_t Quantos(const Variant& feitos, size_t at) {
    if (feitos.type() != Variant::Type::Array || feitos.array().size() <= at) return 0;
    return feitos.array()[at].asInt();
}

QString Texto(TClientDataSet& ds, const char* field) {
    return QString::fromStdString(ds.FieldByName(field).AsString());
}

}  // namespace

TfrmPedidos::TfrmPedidos(TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim, QWidget* parent)
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

    pedidosModel =
        std::make_unique<DataSetModel>(cdsPedidos, std::vector<GridColumn>{{"NRPEDEXOL", "Pedido", 70},
                                                                           {"CDFILIOPELOG", "Op. Log.", 60},
                                                                           {"CDFILIAL", "Filial", 50},
                                                                           {"NMFILIAL", "Nome", 180},
                                                                           {"CDSERVFILI", "Serviço", 60},
                                                                           {"NMTURNO", "Turno", 70},
                                                                           {"DTPEDIDO", "Entrega", 80},
                                                                           {"CDOPERADOR", "Operador", 80},
                                                                           {"DTLANCAMENTO", "Gerado em", 130},
                                                                           {"DSSITUACAO", "Situação", 80},
                                                                           {"DTSITUACAO", "Desde", 130},
                                                                           {"QTLINHAS", "Linhas", 50}});
    itensModel =
        std::make_unique<DataSetModel>(cdsItensPedido, std::vector<GridColumn>{{"CDPRODUTO", "Produto", 86},
                                                                               {"NMPRODUTO", "Descrição", 180},
                                                                               {"SGUNIDADE", "Unid.", 40},
                                                                               {"QTNECESSARIA", "Necessário", 80},
                                                                               {"QTPEDIDO", "Pedido", 80},
                                                                               {"QTEMBALAGENS", "Embal.", 50},
                                                                               {"QTSOBRA", "Sobra", 70},
                                                                               {"QTSALDO", "Do estoque", 80},
                                                                               {"QTRECEBIDA", "Recebido", 80}});
    requisicoesModel = std::make_unique<DataSetModel>(cdsRequisicoesPedido,
                                                      std::vector<GridColumn>{{"NRREQUIPEDIDO", "Requisição", 70},
                                                                              {"CDFILIAL", "Filial", 50},
                                                                              {"CDSERVFILI", "Serviço", 60},
                                                                              {"CDTURNO", "Turno", 40},
                                                                              {"DTREQUIPEDIDO", "Dia", 80},
                                                                              {"IDTIPOCONSUMO", "Tipo", 40},
                                                                              {"QTREQUISITADA", "Quantidade", 80}});
    itensModel->setFormat("CDPRODUTO", ProductCodeFormat());
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
        ConnectGuarded(button, &QAbstractButton::clicked, this,
                       [this, handler = handler](bool) { (this->*handler)(); });
    SetShortcut(sbtAtualizar, Qt::Key_F5, this);
    SetShortcut(sbtExplicar, Qt::Key_F3, this);
    SetShortcut(sbtMarcarEnviados, Qt::Key_F6, this);
    SetShortcut(sbtCancelarPedidos, Qt::Key_F7, this);
    SetShortcut(sbtReceber, Qt::Key_F4, this);
    SetShortcut(sbtExplicarLinha, Qt::Key_F9, this);
    auto* esc = new QShortcut(Qt::Key_Escape, this);
    esc->setContext(Qt::WidgetWithChildrenShortcut);
    connect(esc, &QShortcut::activated, this, &QWidget::close);
    rpddPadrao.BeforeGetQueryParams = [this](TParams& params, bool&) { preencheParametros(params); };
    connectSeparacao();
    GuardRoleActions(this);
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

namespace {

struct Geracao : QObject {
    using QObject::QObject;
    QString filial;
    DateTime inicio, fim;
    QString filialPedidos;
    int64_t primeiro = 0, ultimo = 0;
};

Geracao* geracaoDe(QObject* tela) {
    for (QObject* filho : tela->children())
        if (auto* geracao = dynamic_cast<Geracao*>(filho)) return geracao;
    return nullptr;
}

}  // namespace

void LembraGeracao(QWidget* tela, const QString& filial, DateTime inicio, DateTime fim, const QString& filialPedidos,
                   int64_t primeiro, int64_t ultimo) {
    Geracao* g = geracaoDe(tela);
    if (!g) g = new Geracao(tela);
    g->filial = filial;
    g->inicio = inicio;
    g->fim = fim;
    g->filialPedidos = filialPedidos;
    g->primeiro = primeiro;
    g->ultimo = ultimo;
}

void AbrePedidosGerados(TNetConnection& net, const QString& filial, DateTime inicio, DateTime fim, QWidget* parent) {
    const Geracao* g = geracaoDe(parent);
    if (g && g->filial == filial && g->inicio == inicio && g->fim == fim)
        TfrmPedidos::Abre(net, g->filialPedidos, inicio, fim, parent, g->primeiro, g->ultimo);
    else
        TfrmPedidos::Abre(net, filial, inicio, fim, parent);
}

void TfrmPedidos::FormClose(QObject*, int&) {
    if (std::exchange(alterados, false)) emit pedidosAlterados();
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
        cdsPedidos.SetData(
            CheckResultServ(net.Call("GetPedidos", {filial, Dia(depDtInicio->date()), Dia(depDtFim->date()),
                                                    kSituacoes[cbxSituacao->currentIndex()]}),
                            true, 0));
    });
    int linhas = 0;
    const DataPacket pedidos = cdsPedidos.Data();
    const int campo = pedidos.fieldIndex("QTLINHAS");
    for (const Row& row : pedidos.rows) linhas += int(row[size_t(campo)].asInt());
    lblStatus->setText(Contagem(int(pedidos.rows.size()), "pedido", "pedidos") + ", " +
                       Contagem(linhas, "linha", "linhas"));
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
            selecao.select(pedidosModel->index(int(i), 0),
                           pedidosModel->index(int(i), pedidosModel->columnCount() - 1));
    }
    dbgPedidos->selectionModel()->select(selecao, QItemSelectionModel::ClearAndSelect);
}

void TfrmPedidos::sbtCancelarPedidosClick() {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) return;
    const QStringList numeros = pedidos.mid(1).chopped(1).split('_');
    const QString pergunta = numeros.size() == 1
                                 ? QString::fromUtf8("Cancelar o pedido %1?").arg(numeros.front())
                                 : QString::fromUtf8("Cancelar os %1 %2?")
                                       .arg(Contagem(numeros.size(), "pedido", "pedidos"), numeros.join(", "));
    if (HostUi::instance().messageDlg(pergunta + QString::fromUtf8(" Suas requisições serão liberadas."),
                                      MsgDlgType::Confirmation, mbYes | mbNo) != mrYes)
        return;
    // Each order is checked against its own branch on the server: none is named here.
    const Variant feitos = WithBusy([&] {
        return CheckResultServ(net.Call("CancelaPedido", {pedidos, Operador(), QString()}), true, 0);
    });
    alterados = true;
    sbtAtualizarClick();
    HostUi::instance().showStatus(Contagem(Quantos(feitos, 0), "pedido cancelado", "pedidos cancelados") + "; " +
                                  Contagem(Quantos(feitos, 1), "requisição liberada", "requisições liberadas") + ".");
}

void TfrmPedidos::sbtMarcarEnviadosClick() {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) return;
    marcaEnviados(pedidos);
}

void TfrmPedidos::marcaEnviados(const QString& pedidos) {
    const Variant feitos = WithBusy([&] {
        return CheckResultServ(net.Call("MarcaPedidosEnviados", {pedidos, Operador()}), true, 0);
    });
    alterados = true;
    sbtAtualizarClick();
    HostUi::instance().showStatus(
        Contagem(Quantos(feitos, 0), "pedido marcado como enviado", "pedidos marcados como enviados") + ".");
}

void TfrmPedidos::ofereceMarcarEnviados(const QString& pedidos) {
    // The pick list is no order sent; a role that may not mark is not asked to.
    if (chbSeparacao->isChecked() || !sbtMarcarEnviados->isEnabled() || Texto(cdsPedidos, "IDSITUACAO") != "A") return;
    if (HostUi::instance().messageDlg(QString::fromUtf8("Marcar os pedidos impressos como enviados ao operador "
                                                        "logístico?"),
                                      MsgDlgType::Confirmation, mbYes | mbNo) == mrYes)
        marcaEnviados(pedidos);
}

void TfrmPedidos::preencheParametros(TParams& params) {
    const auto set = [&](const char* name, Variant value) {
        if (ExistParam(params, name)) params.ParamByName(name).SetAsVariant(std::move(value));
    };
    const QString filial = filialInformada();
    if (chbSeparacao->isChecked() && filial == "T")
        MensErroEm(medFilial, QString::fromUtf8("Informe o operador logístico da lista de separação."));
    set("P_CDFILIAL", Variant(ToStd(filial)));
    set("P_DATAINI", Variant(Dia(depDtInicio->date())));
    set("P_DATAFIN", Variant(Dia(depDtFim->date())));
    set("P_PEDIDOS", Variant(ToStd(PedidosSelecionados())));
    set("P_IDQUEBRAPAGINA", Variant(chbQuebraPagina->isChecked() ? "S" : "N"));
    set("P_IDRESUMO", Variant("S"));
}

// Only active orders are offered to be marked, a sent one keeps its first date; and only
// once the document really went out, as a cancelled dialog printed or wrote nothing.
void TfrmPedidos::sbtPrintClick(QObject*) {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) MensErro(QString::fromUtf8("Não há pedido para imprimir."), true);
    if (PrintReport()) ofereceMarcarEnviados(pedidos);
}

void TfrmPedidos::sbtPreviewClick(QObject* Sender) {
    if (PedidosSelecionados().isEmpty()) MensErro(QString::fromUtf8("Não há pedido para visualizar."), true);
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmPedidos::sbtSalvarComoClick(QObject*) {
    const QString pedidos = PedidosSelecionados();
    if (pedidos.isEmpty()) MensErro(QString::fromUtf8("Não há pedido para salvar."), true);
    if (SaveReportAs()) ofereceMarcarEnviados(pedidos);
}

}  // namespace krv::ordergen
