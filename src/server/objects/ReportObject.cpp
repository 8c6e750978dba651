#include "server/objects/ReportObject.h"

#include <algorithm>
#include <cctype>

#include "server/checks/Arguments.h"
#include "server/checks/Existing.h"
#include "server/objects/OrderReports.h"
#include "server/stores/ListStore.h"
#include "server/stores/ReportStore.h"

namespace krv::server {

namespace {

const std::vector<std::string> kRequisitionParams{
    "P_CDFILIAL", "P_DATAINI",       "P_DATAFIN",        "P_NRLISTASERV",   "P_NRLISTATURNO", "P_TAMNIV",
    "P_ORDENA",   "P_IDIMPRIMECARD", "P_IDQUEBRAPAGINA", "P_NRLINHABRANCA", "P_LISTAGRUPPROD"};

std::string upper(std::string text) {
    for (char& c : text) c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

const Variant& param(const std::map<std::string, Variant>& params, const std::string& name) {
    return params.at(name);  // presence is checked before any query runs
}

std::string choice(const std::map<std::string, Variant>& p, const std::string& name,
                   const std::vector<std::string>& choices) {
    return requireChoice(param(p, name), "Parâmetro " + name, choices);
}

// "T", or the key list of the grouping picker, each grouping one that exists.
std::optional<std::set<GroupingKey>> requireGroupings(db::Connection& c, const Variant& value) {
    const std::string what = "Parâmetro P_LISTAGRUPPROD";
    const KeyListWording wording{nullptr, "deve ser \"T\" ou uma lista de chaves (\"_chave1_chave2_\")."};
    return requireKeyList<GroupingKey>(value, what, wording, [&](const std::string& key) {
        const auto grouping = groupingKey(key);
        if (!grouping) refuse(what + " contém uma chave inválida.");
        const auto& [group, subgroup] = *grouping;
        if (!c.integer("SELECT 1 FROM product_grouping WHERE cdgrupprod = ? AND cdsubgrprod = ?", {group, subgroup}))
            refuse("Agrupamento " + group + "/" + subgroup + " não cadastrado.");
        return *grouping;
    });
}

Variant requisitionReport(db::Connection& c, const std::map<std::string, Variant>& p, const std::string& listOwner,
                          const Permissions& permissions, DateTime now) {
    ReportStore store(c);
    RequisitionReportFilter f;
    f.branch = requireCode(param(p, "P_CDFILIAL"), "Parâmetro P_CDFILIAL", 4);
    permissions.requireBranch(f.branch);
    requireBranch(c, f.branch);
    f.from = requireDay(param(p, "P_DATAINI"), "Parâmetro P_DATAINI");
    f.to = requireDay(param(p, "P_DATAFIN"), "Parâmetro P_DATAFIN");
    if (f.to < f.from) refuse("Parâmetro P_DATAINI deve ser menor ou igual a P_DATAFIN.");
    ListStore lists(c, listOwner);
    f.serviceList = branchList(lists, param(p, "P_NRLISTASERV"), "P_NRLISTASERV", ListKind::Services, f.branch, now);
    f.shiftList = branchList(lists, param(p, "P_NRLISTATURNO"), "P_NRLISTATURNO", ListKind::Shifts, f.branch, now);
    f.levelChars =
        int(requireInteger(param(p, "P_TAMNIV"), "Parâmetro P_TAMNIV", 0, pictureLength(store.productPicture())));
    f.byCode = choice(p, "P_ORDENA", {"C", "A"}) == "C";
    f.withMenu = choice(p, "P_IDIMPRIMECARD", {"S", "N"}) == "S";
    // Layout only, but a bad value is still refused here rather than printed oddly.
    choice(p, "P_IDQUEBRAPAGINA", {"S", "N"});
    requireInteger(param(p, "P_NRLINHABRANCA"), "Parâmetro P_NRLINHABRANCA", 0, 999);
    if (p.count("P_IDRESUMO")) choice(p, "P_IDRESUMO", {"S", "N"});
    f.groupings = requireGroupings(c, param(p, "P_LISTAGRUPPROD"));
    return Variant(store.requisitionItems(f));
}

}  // namespace

ReportObject::ReportObject(db::Database& database, Clock clock) : database_(database), clock_(std::move(clock)) {
    reports_["KRV520"] = {kRequisitionParams, {"P_IDRESUMO"}, Action::ReadRequisitions, requisitionReport};
    // The order documents name a kitchen, a logistic operator or "T"; the orders they show are
    // those the caller sees.
    const auto ofViewer = [](auto query) {
        return [query](db::Connection& c, const Params& p, const std::string&, const Permissions& permissions,
                       DateTime) { return query(c, p, permissions); };
    };
    reports_["KRV521"] = {{"P_CDFILIAL", "P_DATAINI", "P_DATAFIN", "P_PEDIDOS", "P_IDQUEBRAPAGINA"},
                          {},
                          Action::ListOrders,
                          ofViewer(orderDocument)};
    reports_["KRV522"] = {
        {"P_CDFILIAL", "P_DATAINI", "P_DATAFIN", "P_IDRESUMO"}, {}, Action::PickLists, ofViewer(pickListDocument)};
}

void ReportObject::registerOn(rpc::Dispatcher& dispatcher) {
    dispatcher.add(rpc::Access::LargeReads, kName, "GetDados", {rpc::ArgType::Any, rpc::ArgType::Any},
                   [this](const rpc::Caller& caller, std::vector<Variant>& a) { return GetDados(caller, a); });
}

Variant ReportObject::GetDados(const rpc::Caller& caller, std::vector<Variant>& args) {
    const std::string code = requireCode(args.at(0), "Código do relatório", 10);
    const auto report = reports_.find(upper(code));
    if (report == reports_.end()) refuse("Relatório " + code + " desconhecido.");
    const Permissions permissions = Permissions::of(database_.connection(), caller);
    permissions.require(report->second.action);
    if (args.at(1).type() != Variant::Type::Array) refuse("Parâmetros do relatório devem ser uma lista.");
    Params params;
    for (const Variant& pair : args[1].array()) {
        if (pair.type() != Variant::Type::Array || pair.array().size() != 2 || !pair.array()[0].isString())
            refuse("Cada parâmetro do relatório deve ser um par [nome, valor].");
        const std::string name = upper(pair.array()[0].str());
        const std::vector<std::string>& known = report->second.params;
        const std::vector<std::string>& optional = report->second.optional;
        if (std::find(known.begin(), known.end(), name) == known.end() &&
            std::find(optional.begin(), optional.end(), name) == optional.end())
            refuse("Parâmetro " + pair.array()[0].str() + " desconhecido no relatório " + code + ".");
        if (!params.emplace(name, pair.array()[1]).second) refuse("Parâmetro " + name + " repetido.");
    }
    for (const std::string& name : report->second.params)
        if (!params.count(name)) refuse("Parâmetro " + name + " não informado.");
    return report->second.query(database_.connection(), params, caller.operatorName, permissions, clock_());
}

}  // namespace krv::server
