#include "ordergen/TfrmGerarPedReq.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLocale>
#include <QScreen>
#include <QStyle>

#include "core/Errors.h"
#include "host/controls/ToolButtons.h"
#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/models/DataSetModel.h"
#include "host/models/MarkDelegate.h"
#include "host/screens/Consiste.h"
#include "host/screens/OperatorOptions.h"
#include "host/screens/ScreenSize.h"
#include "host/session/Application.h"
#include "host/session/RoleActions.h"
#include "ordergen/Cli_krv52010.h"
#include "requisition/Cli_krv52000.h"
#include "requisition/TfrmPedReq.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

// The list as the server sent it, with the marks of the requisitions listed before whose
// order did not change meanwhile. A requisition just ordered, or whose order was just
// cancelled, was marked for that action: it starts afresh.
DataPacket ComMarcas(DataPacket lista, const std::map<double, TfrmGerarPedReq::Marca>& marcas) {
    if (marcas.empty()) return lista;
    int mark = -1, number = -1, order = -1;
    for (int f = 0; f < int(lista.fields.size()); ++f) {
        if (lista.fields[f].name == "IDMARCADO") mark = f;
        if (lista.fields[f].name == "NRREQUIPEDIDO") number = f;
        if (lista.fields[f].name == "NRPEDEXOL") order = f;
    }
    if (mark < 0 || number < 0 || order < 0) return lista;
    for (Row& row : lista.rows) {
        const auto antes = marcas.find(row[number].asDouble());
        if (antes != marcas.end() && antes->second.pedido == row[order].asString()) row[mark] = antes->second.marca;
    }
    return lista;
}

std::vector<PersistentField> BranchFields(bool markShown) {
    return {
        {"IDMARCADO", FieldType::String, 1, "4", 0, markShown},
        {"CDFILIAL", FieldType::String, 4, "Código", 10, true},
        {"NMFILIAL", FieldType::String, 30, "Nome", 0, true},
        {"OL", FieldType::Fixed, 1, "O. L.", 2, true},
    };
}

// The grid's columns as the form lists them: "field|title|width in pixels".
std::vector<GridColumn> ColumnsOf(const QWidget* grid) {
    std::vector<GridColumn> columns;
    for (const QString& line : grid->property("columns").toStringList()) {
        const QStringList parts = line.split('|');
        columns.push_back({ToStd(parts.value(0)), parts.value(1), parts.value(2).toInt()});
    }
    return columns;
}

}  // namespace

TfrmGerarPedReq::TfrmGerarPedReq(QWidget* parent) : TfrmRotiGeral(parent) {
    setupUi(grbDadosRel);
    applyFormProperties();
    declareDataSets();
    setupGrid();
    connectFilters();
    connectPedidos();
    RememberPerOperator(this, chbDescontarSaldo);
    ConnectGuarded(sbtProcurar, &QAbstractButton::clicked, this, [this](bool) { sbtProcurarClick(sbtProcurar); });
    ConnectGuarded(sbtCancelaPedido, &QAbstractButton::clicked, this,
                   [this](bool) { sbtCancelaPedidoClick(sbtCancelaPedido); });
    ConnectGuarded(sbtMarcaTodas, &QAbstractButton::clicked, this, [this](bool) { marcaTodasRequisicoes(); });
    GuardRoleActions(this);
}

TfrmGerarPedReq::~TfrmGerarPedReq() {
    // The module variable must not outlive the screen it names.
    if (frmGerarPedReq == this) frmGerarPedReq = nullptr;
}

// What a form stream would carry beyond Qt's own properties, kept in the .ui as properties
// of the form: caption, design size, screen code, message table, maximise button.
void TfrmGerarPedReq::applyFormProperties() {
    const QWidget* form = grbDadosRel;
    const QSize designSize = form->size();
    setWindowTitle(form->windowTitle());
    setWindowFlag(Qt::WindowMaximizeButtonHint, form->property("maximizable").toBool());
    // The design's height shows a handful of rows; the list is what the screen is for, so it
    // first opens as tall as the screen allows, then as the user left it.
    const int tall = screen() ? screen()->availableSize().height() * 9 / 10 : 0;
    RestoreScreenSize(this, QSize(designSize.width(), std::max(designSize.height(), tall)));
    lblCodTela->setText(form->property("lblCodTela").toString());
    msgPadrao.Messages = form->property("msgPadrao").toStringList();

    sbtProcurar->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    AddMenuButton(sbtProcurar);
    sbtMarcaTodas->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    AddMenuButton(sbtMarcaTodas);
    SetShortcut(sbtMarcaTodas, QKeySequence(Qt::CTRL | Qt::Key_A), this);
    sbtCancelaPedido->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    AddMenuButton(sbtCancelaPedido);
    SetShortcut(sbtCancelaPedido, Qt::Key_F8, this);
    SetShortcut(sbtProcurar, Qt::Key_F3, this);
    imgCheck->setPixmap(MarkDelegate::picture(MarkState::Checked));
    imgUncheck->setPixmap(MarkDelegate::picture(MarkState::Unchecked));
    imgGray->setPixmap(MarkDelegate::picture(MarkState::Gray));
}

void TfrmGerarPedReq::declareDataSets() {
    cdsRequisicoes.SetFields({
        {"IDMARCADO", FieldType::Fixed, 1, "", 0, false},
        {"NRREQUIPEDIDO", FieldType::Float, 0, "", 0, false},
        {"CDSERVFILI", FieldType::String, 5, "Código"},
        {"NMSERVICO", FieldType::String, 40, "Serviço"},
        {"CDTURNO", FieldType::String, 1, "", 0, false},
        {"NMTURNO", FieldType::String, 10, "Turno"},
        {"DTREQUIPEDIDO", FieldType::DateTime, 0, "Data", 0, false},
        {"NRSEQREQUIPEDIDO", FieldType::String, 10, "", 0, false},
        {"CDGRUPPROD", FieldType::String, 10, "", 0, false},
        {"CDSUBGRPROD", FieldType::String, 10, "Cód. Agrupamento"},
        {"NMSUBGRPROD", FieldType::String, 40, "Agrupamento"},
        {"CDFILIOPELOG", FieldType::String, 4, "", 0, false},
        {"NMFILIOPELOG", FieldType::String, 30, "", 0, false},
        {"NRPEDEXOL", FieldType::String, 10, "Pedido"},
        {"CDFILDEST", FieldType::String, 4, "Filial", 0, false},
        {"CDFILLANC", FieldType::String, 4, "", 0, false},
        {"DTREQUIPEDIDO_PESQ", FieldType::String, 10, "Data"},
        {"FILIOPELOG", FieldType::String, 34, "Operador Logístico"},
        {"CDFILIAL", FieldType::String, 4, "Filial"},
    });
    // Rows come only from the server.
    cdsRequisicoes.BeforeInsert = [](TClientDataSet&) { throw EAbort(); };

    cdsFilial.SetFields(BranchFields(false));
    cdsListaFilial.SetFields(BranchFields(true));
    cdsServico.SetFields({
        {"IDMARCADO", FieldType::Fixed, 1, "", 3, false},
        {"CHAVE", FieldType::String, 9, "", 0, false},
        {"CDSERVFILI", FieldType::String, 5, "Código"},
        {"NMSERVICO", FieldType::String, 40, "Nome"},
    });
}

void TfrmGerarPedReq::setupGrid() {
    requisicoesModel = std::make_unique<DataSetModel>(cdsRequisicoes, ColumnsOf(dbgRequisicoes));
    const int order = cdsRequisicoes.FieldIndex("NRPEDEXOL");
    requisicoesModel->setGrayed(
        [this, order](int row) { return !EmptyString(ToQString(cdsRequisicoes.ValueAt(row, order))); });
    requisicoesModel->setRowToolTip([this, order](int row) {
        const QString pedido = ToQString(cdsRequisicoes.ValueAt(row, order)).trimmed();
        return pedido.isEmpty() ? QString() : msgPadrao.Msg("COM_PEDIDO").arg(pedido);
    });
    SetupGrid(*dbgRequisicoes, *requisicoesModel);
    const auto situacao = [this] { Guard([this] { mostraSituacao(); }); };
    connect(requisicoesModel.get(), &QAbstractItemModel::dataChanged, this, situacao);
    connect(requisicoesModel.get(), &QAbstractItemModel::modelReset, this, situacao);

    connect(dbgRequisicoes, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { Guard([&] { dbgRequisicoesCellClick(index.column()); }); });
    connect(dbgRequisicoes, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex&) { Guard([&] { abreItensRequisicao(); }); });
    connect(dbgRequisicoes->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { Guard([&] { dbgRequisicoesTitleClick(column); }); });
    dbgRequisicoes->installEventFilter(this);
}

void TfrmGerarPedReq::FormCreate() {
    TfrmRotiGeral::FormCreate();
    const requisition::TfrmPedReq& pedReq = *frmPedReq;
    chavesFilial = "_" + pedReq.medCdFilial->text() + "_";
    depDataInic->SetDate(pedReq.depDataInic->GetDate());
    depDataFina->SetDate(pedReq.depDataFina->GetDate());
    getRequisicoes();
}

void TfrmGerarPedReq::FormClose(QObject*, int& Action) {
    Action = caFree;
    SaveScreenSize(this);
    // A server that cannot delete the list must not hold the screen open: its error is shown
    // once and the close goes on. The server purges lists left behind.
    Guard([this] { apagaListaRequiPedido(); });
}

// Replaces the whole list with what the server holds for the filter. A requisition listed
// before keeps its mark unless its order changed, and the cursor stays on the requisition it
// was on while it is listed. The server may rewrite the branch keys; what it does to the grouping is its own
// affair.
void TfrmGerarPedReq::getRequisicoes() {
    const Selecao antes = selecaoAtual();
    requisition::TfrmPedReq& pedReq = *frmPedReq;
    pedReq.renovandoListas([&] {
        WithBusy([&] {
            QString agrupamentos = iif(pedReq.rbtTAgrupProd->isChecked(), "T", pedReq.Filtro().chavesAgrupProd);
            const QString nrListaTurno = pedReq.getNrListaTurno();
            const DateTime inicio = pedReq.depDataInic->GetDate();
            const DateTime fim = pedReq.depDataFina->GetDate();
            const Variant lista = CheckResultServ(
                pedReq.netPedReq.Call("getRequisicoes",
                                      {Ref(chavesFilial), inicio, fim, nrListaTurno, Ref(agrupamentos)}),
                true, 0);
            if (lista.type() != Variant::Type::Packet) throw EServerError("Resposta inválida do servidor");
            cdsRequisicoes.SetData(ComMarcas(lista.packet(), antes.marcas));
            chavesLidas = chavesFilial;
        });
    });
    if (antes.atual) cdsRequisicoes.Locate("NRREQUIPEDIDO", Variant(*antes.atual));
    habilitaBotoes();
}

TfrmGerarPedReq::Selecao TfrmGerarPedReq::selecaoAtual() const {
    Selecao selecao;
    const int mark = cdsRequisicoes.FieldIndex("IDMARCADO"), number = cdsRequisicoes.FieldIndex("NRREQUIPEDIDO");
    const int order = cdsRequisicoes.FieldIndex("NRPEDEXOL");
    for (int row = 0; row < cdsRequisicoes.RecordCount(); ++row)
        selecao.marcas[cdsRequisicoes.ValueAt(row, number).asDouble()] = {
            cdsRequisicoes.ValueAt(row, mark), cdsRequisicoes.ValueAt(row, order).asString()};
    if (!cdsRequisicoes.IsEmpty()) selecao.atual = cdsRequisicoes.ValueAt(cdsRequisicoes.RecNo(), number).asDouble();
    return selecao;
}

// "15.490 requisições, 12 marcadas, 2.604 com pedido."
void TfrmGerarPedReq::mostraSituacao() {
    const int mark = cdsRequisicoes.FieldIndex("IDMARCADO"), order = cdsRequisicoes.FieldIndex("NRPEDEXOL");
    const int listadas = cdsRequisicoes.RecordCount();
    int marcadas = 0, comPedido = 0;
    for (int row = 0; row < listadas; ++row) {
        if (cdsRequisicoes.ValueAt(row, mark).asString() == "S") ++marcadas;
        if (!EmptyString(ToQString(cdsRequisicoes.ValueAt(row, order)))) ++comPedido;
    }
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    const auto conta = [&](int n, const char* um, const char* varios) {
        return brasil.toString(n) + " " + (n == 1 ? um : varios);
    };
    lblSituacao->setText(QString("%1, %2, %3 com pedido.")
                             .arg(conta(listadas, "requisição", "requisições"), conta(marcadas, "marcada", "marcadas"),
                                  brasil.toString(comPedido)));
}

void TfrmGerarPedReq::habilitaBotoes() {
    sbtProcurar->setEnabled(!cdsRequisicoes.IsEmpty());
    sbtMarcaTodas->setEnabled(sbtProcurar->isEnabled());
    sbtConfirma->setEnabled(!cdsRequisicoes.IsEmpty());
    sbtCancelaPedido->setEnabled(contaAbertas().all < cdsRequisicoes.RecordCount());
}

bool TfrmGerarPedReq::EstaMarcado() { return cdsRequisicoes.FieldByName("IDMARCADO").AsString() == "S"; }

bool TfrmGerarPedReq::pedidoJaGerado() {
    return !EmptyString(ToQString(cdsRequisicoes.FieldByName("NRPEDEXOL").AsString()));
}

std::function<bool(const Row&)> TfrmGerarPedReq::aberta(bool marcada) const {
    const size_t order = size_t(cdsRequisicoes.FieldIndex("NRPEDEXOL"));
    const size_t mark = size_t(cdsRequisicoes.FieldIndex("IDMARCADO"));
    return [=](const Row& row) {
        return row[order].isNull() && (!marcada || (row[mark].isString() && row[mark].str() == "S"));
    };
}

TfrmGerarPedReq::OpenRows TfrmGerarPedReq::contaAbertas() const {
    return {cdsRequisicoes.Count(aberta(false)), cdsRequisicoes.Count(aberta(true))};
}

// A row with an order may be toggled too: it stays gray, and generation leaves it out.
void TfrmGerarPedReq::marcaRequisicao() {
    if (cdsRequisicoes.State() != DataSetState::Browse || cdsRequisicoes.IsEmpty()) return;
    const char* mark = EstaMarcado() ? "N" : "S";
    cdsRequisicoes.Edit();
    cdsRequisicoes.FieldByName("IDMARCADO").SetAsString(mark);
    cdsRequisicoes.Post();
}

// Marks every open row while one of them is unmarked, otherwise unmarks them all; rows with
// an order keep their mark. The grid repaints once, at the end.
void TfrmGerarPedReq::marcaTodasRequisicoes() {
    if (cdsRequisicoes.State() != DataSetState::Browse || cdsRequisicoes.IsEmpty()) return;
    const double atual = cdsRequisicoes.FieldByName("NRREQUIPEDIDO").AsFloat();
    const OpenRows open = contaAbertas();
    const std::string mark = open.all != open.marked ? "S" : "N";

    struct Restore {
        TClientDataSet& ds;
        double number;
        ~Restore() {
            ds.Locate("NRREQUIPEDIDO", Variant(number));
            ds.EnableControls();
        }
    };
    cdsRequisicoes.DisableControls();
    Restore restore{cdsRequisicoes, atual};
    for (cdsRequisicoes.First(); !cdsRequisicoes.Eof(); cdsRequisicoes.Next()) {
        cdsRequisicoes.Edit();
        if (!pedidoJaGerado()) cdsRequisicoes.FieldByName("IDMARCADO").SetAsString(mark);
        cdsRequisicoes.Post();
    }
}

void TfrmGerarPedReq::dbgRequisicoesCellClick(int column) {
    if (column == requisicoesModel->markColumn()) marcaRequisicao();
}

void TfrmGerarPedReq::dbgRequisicoesTitleClick(int column) {
    if (column == requisicoesModel->markColumn()) marcaTodasRequisicoes();
}

// No row can be deleted from the grid; the space bar marks from any column.
bool TfrmGerarPedReq::dbgRequisicoesKeyDown(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Delete && key.modifiers().testFlag(Qt::ControlModifier)) return true;
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        abreItensRequisicao();
        return true;
    }
    if (key.key() != Qt::Key_Space) return false;
    marcaRequisicao();
    return true;
}

bool TfrmGerarPedReq::eventFilter(QObject* watched, QEvent* event) {
    if (watched != dbgRequisicoes || event->type() != QEvent::KeyPress)
        return TfrmRotiGeral::eventFilter(watched, event);
    bool taken = true;
    Guard([&] { taken = dbgRequisicoesKeyDown(static_cast<const QKeyEvent&>(*event)); });
    return taken;
}

void TfrmGerarPedReq::sbtProcurarClick(QObject*) {
    if (!cdsRequisicoes.IsEmpty()) HostUi::instance().procura(cdsRequisicoes);
}

void TfrmGerarPedReq::reportFailure(QWidget* control, const char* key) { MensErroEm(control, msgPadrao.Msg(key)); }

}  // namespace krv::ordergen
