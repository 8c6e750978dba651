#include "report/ReportRun.h"

#include <QDateTime>
#include <cstdio>
#include <stdexcept>

#include "host/models/Convert.h"
#include "host/report/ReportEngine.h"
#include "host/report/ReportRows.h"
#include "host/screens/ReportDesigner.h"
#include "host/session/DBPicture.h"
#include "host/session/NetConnection.h"
#include "host/session/ServerOutcome.h"
#include "host/session/Session.h"

namespace krv::report {

using namespace krv::host;

namespace {

void pointAt(TNetConnection& net, const QString& server, const ReportCommand& r) {
    net.ServerName = server;
    net.Host = r.host;
    net.Port = r.port;
    net.Token = r.token;
}

// The server keeps the service and shift selections as numbered lists while the report
// needs them; they are made only when the definition asks for them, and deleted at the end.
class SelectionLists {
public:
    SelectionLists(TNetConnection& pedReq, const ReportCommand& r) : pedReq_(pedReq), r_(r) {}
    ~SelectionLists() {
        try {
            Delete();
        } catch (...) {
            // A failed report's own error is what the caller must see; the server purges lists unused for a week.
        }
    }

    QString Services() {
        if (services_.isEmpty()) {
            QString keys = r_.servicos;
            services_ =
                ListNumber(ServerPayload(pedReq_.Call("GetNrListaServ", {r_.filial, Ref(keys), Ref(services_)})));
        }
        return services_;
    }

    QString Shifts() {
        if (shifts_.isEmpty()) {
            const QString services = Services();
            QString keys = r_.turnos;
            shifts_ = ListNumber(ServerPayload(pedReq_.Call("GetNrListaTurno", {services, Ref(shifts_), Ref(keys)})));
        }
        return shifts_;
    }

    void Delete() {
        if (services_.isEmpty() && shifts_.isEmpty()) return;
        QString calc, calcBranch;
        pedReq_.Call("apagaListas", {Ref(services_), Ref(shifts_), Ref(calc), Ref(calcBranch)});
        services_.clear();
        shifts_.clear();
    }

private:
    TNetConnection& pedReq_;
    const ReportCommand& r_;
    QString services_, shifts_;
};

DateTime day(const QDate& date) { return DateTime::fromDate(date.year(), date.month(), date.day()); }
const char* yesNo(bool on) { return on ? "S" : "N"; }

// The parameters the loaded definition names, filled from the command as the screen fills
// them from its filter.
void fill(TParams& params, const ReportCommand& r, SelectionLists& lists) {
    const auto set = [&](const char* name, auto&& value) {
        if (ExistParam(params, name)) params.ParamByName(name).SetAsVariant(Variant(value()));
    };
    set("P_CDFILIAL", [&] { return ToStd(r.filial); });
    set("P_DATAINI", [&] { return day(r.de); });
    set("P_DATAFIN", [&] { return day(r.ate); });
    set("P_NRLISTASERV", [&] { return ToStd(lists.Services()); });
    set("P_NRLISTATURNO", [&] { return ToStd(lists.Shifts()); });
    set("P_TAMNIV", [&] {
        const TDBPicture& picture = DBPictObj(0);
        return int64_t(picture.TamAcNivel(r.ordena == "C" ? picture.GetTtNiveis() : r.nivel));
    });
    set("P_ORDENA", [&] { return ToStd(r.ordena); });
    set("P_IDIMPRIMECARD", [&] { return yesNo(r.cardapio); });
    set("P_IDQUEBRAPAGINA", [&] { return yesNo(r.quebraPagina); });
    set("P_NRLINHABRANCA", [&] { return int64_t(r.linhasBranco); });
    set("P_LISTAGRUPPROD", [&] { return ToStd(r.agrupamentos); });
    // The pick list always closes with its totals per product.
    set("P_IDRESUMO", [&] { return yesNo(r.resumo || r.documento == "separacao"); });
    set("P_PEDIDOS", [] { return "T"; });
}

void loadDefinition(TReportDesigner& designer, const QString& code) {
    designer.ReportCode = code;
    if (!designer.LoadDefinition())
        throw std::runtime_error(
            ToStd(QString::fromUtf8("O arquivo contendo a definição do relatório de código '%1' não foi "
                                    "encontrado no diretório '%2'.")
                      .arg(code, TReportDesigner::ReportsDir())));
}

void write(const ReportCommand& r, const ReportDefinition& definition, TParams& params, const DataPacket& rows) {
    if (r.csv()) return WriteReportCsv(definition, params, rows, r.saida);
    const QPageLayout page = DefaultPageLayout(definition);
    WriteReportPdf(LayoutReport(definition, params, rows, page, {QDateTime::currentDateTime(), r.operador}), page,
                   r.saida);
}

}  // namespace

void RunReport(const ReportCommand& r) {
    SetSession({r.filial, r.operador, r.host, r.port, r.token, r.password, r.tls, r.caFile});
    TNetConnection pedReq, report;
    pointAt(pedReq, "KRV52000.rdmPedReq", r);
    pointAt(report, kReportServer, r);
    TReportDesigner designer;
    loadDefinition(designer, r.reportCode());

    SelectionLists lists(pedReq, r);
    designer.BeforeGetQueryParams = [&](TParams& params, bool&) { fill(params, r, lists); };
    TParams params = designer.QueryParams();
    const DataPacket rows = GetReportRows(report, designer.ReportCode, params);
    write(r, designer.Definition(), params, rows);
    // The file is written; a list left behind now is only a warning.
    try {
        lists.Delete();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "krv-report: aviso: listas não apagadas: %s\n", e.what());
    }
}

}  // namespace krv::report
