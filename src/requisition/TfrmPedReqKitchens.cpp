// Every kitchen of a logistic operator calculated from this screen, one call per kitchen
// under a progress bar that can stop between kitchens, and the orders window.
#include <QCoreApplication>
#include <QLocale>
#include <QProgressDialog>

#include "host/dialogs/HostUi.h"
#include "host/events/EventHelpers.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/Session.h"
#include "ordergen/PedidosGerados.h"
#include "requisition/RequisitionIcons.h"
#include "requisition/TfrmCalculoFiliais.h"
#include "requisition/TfrmPedReq.h"

namespace krv::requisition {

using namespace krv::host;

namespace {

enum Campo { cFilial, cNome, cCalculada, cRequisicoes, cItens, cSemCardapio, cSituacao };

// The per-kitchen rows, whether the server answered for the kitchen or it was never reached.
DataPacket Resultado() {
    return DataPacket{{{"CDFILIAL", FieldType::String, 4},
                       {"NMFILIAL", FieldType::String, 30},
                       {"IDCALCULADA", FieldType::Fixed, 1},
                       {"QTREQUISICOES", FieldType::Integer, 0},
                       {"QTITENS", FieldType::Integer, 0},
                       {"DSSEMCARDAPIO", FieldType::String, 250},
                       {"DSSITUACAO", FieldType::String, 120},
                       {"DSAVISOS", FieldType::String, 2000}},
                      {}};
}

// The server's row for a kitchen, field by field, whatever order it sends them in.
Row LinhaDoServidor(const DataPacket& resposta, const DataPacket& resultado) {
    Row linha(resultado.fields.size());
    if (resposta.rows.empty()) return linha;
    for (size_t i = 0; i < resultado.fields.size(); ++i) {
        const int campo = resposta.fieldIndex(resultado.fields[i].name);
        if (campo >= 0) linha[i] = resposta.rows.front()[size_t(campo)];
    }
    return linha;
}

QString Resumo(const DataPacket& resultado, int alcancadas) {
    int calculadas = 0;
    for (const Row& row : resultado.rows) calculadas += row[cCalculada].asString() == "S";
    const int total = int(resultado.rows.size());
    QString texto = QString::fromUtf8("%1 de %2 filiais calculadas.").arg(calculadas).arg(total);
    if (alcancadas < total)
        texto += QString::fromUtf8(" Cálculo interrompido pelo usuário: %1 filiais não foram calculadas.")
                     .arg(total - alcancadas);
    return texto;
}

}  // namespace

void TfrmPedReq::connectKitchens() {
    sbtCalcReqFiliais = new TButtonFlat(this);
    sbtCalcReqFiliais->setObjectName("sbtCalcReqFiliais");
    sbtCalcReqFiliais->setToolTip(QString::fromUtf8("Calcular Requisições das Filiais (F4)"));
    sbtCalcReqFiliais->setIcon(CalcReqIcon());
    sbtCalcReqFiliais->setText(QString::fromUtf8("Filiais"));
    sbtCalcReqFiliais->setEnabled(false);
    sbtPedidos = new TButtonFlat(this);
    sbtPedidos->setObjectName("sbtPedidos");
    sbtPedidos->setToolTip(QString::fromUtf8("Pedidos Gerados (F3)"));
    sbtPedidos->setIcon(GerarPedidoIcon());
    sbtPedidos->setText(QString::fromUtf8("Pedidos"));
    const std::pair<TButtonFlat*, Qt::Key> actions[] = {{sbtCalcReqFiliais, Qt::Key_F4}, {sbtPedidos, Qt::Key_F3}};
    for (const auto& [button, key] : actions) {
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        AddToolButton(button);
        SetShortcut(button, key, this);
    }
    ConnectGuarded(sbtCalcReqFiliais, &QAbstractButton::clicked, this,
                   [this](bool) { sbtCalcReqFiliaisClick(sbtCalcReqFiliais); });
    ConnectGuarded(sbtPedidos, &QAbstractButton::clicked, this, [this](bool) { sbtPedidosClick(sbtPedidos); });
}

void TfrmPedReq::sbtCalcReqFiliaisClick(QObject*) {
    VdFilial(true);
    VdPeriodo();
    const QString operador = medCdFilial->text();
    const DateTime inicio = depDataInic->GetDate(), fim = depDataFina->GetDate();
    DataPacket cozinhas;
    translatingFailures(
        [&] { cozinhas = CheckResultServ(netPedReq.Call("GetFiliaisOperador", {operador}), true, 0).packet(); });
    if (cozinhas.rows.empty())
        MensErro(QString::fromUtf8("O operador logístico %1 não abastece nenhuma filial.").arg(operador), true);

    TfrmCalculoFiliais dialogo(QString::fromUtf8("Operador logístico %1: %2 filiais, de %3 a %4.")
                                   .arg(operador)
                                   .arg(cozinhas.rows.size())
                                   .arg(ToQString(inicio.toBr()), ToQString(fim.toBr())),
                               {nedAcresc->GetNumber(), chbArredond->isChecked(), chbMateriaPrima->isChecked(),
                                chbConsumoFixo->isChecked(), chbConsumoPerCapita->isChecked()},
                               this);
    if (HostUi::instance().execDialog(dialogo) != QDialog::Accepted) return;
    if (dialogo.TiposConsumo() == "XXX") MensErro(msgPadrao.Msg("TIPOCONSUMO_N_INF"), true);

    const int total = int(cozinhas.rows.size());
    QProgressDialog progresso(QString(), QString::fromUtf8("Cancelar"), 0, total, this);
    progresso.setWindowTitle(QString::fromUtf8("Calcular Requisições das Filiais"));
    progresso.setWindowModality(Qt::WindowModal);
    progresso.setMinimumDuration(0);
    progresso.setAutoClose(false);
    progresso.setAutoReset(false);
    DataPacket resultado = Resultado();
    int alcancadas = 0;
    // Each kitchen is a call of its own, so the bar moves and a stop never splits a kitchen.
    for (; alcancadas < total; ++alcancadas) {
        const Row& cozinha = cozinhas.rows[size_t(alcancadas)];
        const QString codigo = ToQString(cozinha[size_t(cozinhas.fieldIndex("CDFILIAL"))]);
        progresso.setLabelText(QString::fromUtf8("Calculando a filial %1 - %2 (%3 de %4)")
                                   .arg(codigo, ToQString(cozinha[size_t(cozinhas.fieldIndex("NMFILIAL"))]))
                                   .arg(alcancadas + 1)
                                   .arg(total));
        progresso.setValue(alcancadas);
        QCoreApplication::processEvents();
        if (progresso.wasCanceled()) break;
        QString arredonda = dialogo.Arredonda(), tipos = dialogo.TiposConsumo();
        translatingFailures([&] {
            const Variant resposta = CheckResultServ(
                netPedReq.Call("CalculaRequisicoesFiliais", {operador, inicio, fim, dialogo.nedAcresc->value(),
                                                             arredonda, tipos, Operador(), codigo}),
                true, 0);
            resultado.rows.push_back(LinhaDoServidor(resposta.packet(), resultado));
        });
    }
    for (int i = alcancadas; i < total; ++i) {
        const Row& cozinha = cozinhas.rows[size_t(i)];
        resultado.rows.push_back({cozinha[size_t(cozinhas.fieldIndex("CDFILIAL"))],
                                  cozinha[size_t(cozinhas.fieldIndex("NMFILIAL"))], Variant("N"), Variant(int64_t(0)),
                                  Variant(int64_t(0)), Variant(), Variant("não calculada: cálculo interrompido"),
                                  Variant()});
    }
    progresso.close();
    TfrmResultadoFiliais resumo(resultado, Resumo(resultado, alcancadas), this);
    HostUi::instance().execDialog(resumo);
}

void TfrmPedReq::sbtPedidosClick(QObject*) {
    VdFilial(true);
    VdPeriodo();
    ordergen::AbrePedidosGerados(netPedReq, medCdFilial->text(), depDataInic->GetDate(), depDataFina->GetDate(), this);
}

}  // namespace krv::requisition
