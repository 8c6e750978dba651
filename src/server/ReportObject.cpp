#include "server/ReportObject.h"

#include <algorithm>
#include <cctype>

#include "core/Text.h"
#include "server/Arguments.h"
#include "server/ListStore.h"
#include "server/ReportStore.h"

namespace krv::server {

namespace {

[[noreturn]] void refuse(const std::string& message) { throw rpc::MethodFailure(message); }

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

std::string requireChoice(const Variant& value, const std::string& name, const std::vector<std::string>& choices) {
    std::string allowed;
    for (const std::string& choice : choices) {
        if (value.isString() && value.str() == choice) return choice;
        allowed += (allowed.empty() ? "\"" : " ou \"") + choice + "\"";
    }
    refuse("Parâmetro " + name + " deve ser " + allowed + ".");
}

DateTime requireDate(const Variant& value, const std::string& name) {
    if (value.type() != Variant::Type::DateTime || value.asDateTime().secondOfDay() != 0)
        refuse("Parâmetro " + name + " deve ser uma data.");
    return value.asDateTime();
}

// A list of `kind` that exists and holds rows of `branch` only.
DataPacket branchList(db::Connection& c, const Variant& value, const std::string& name, ListKind kind,
                      const std::string& branch, DateTime now) {
    const std::string what = "Parâmetro " + name;
    const int64_t number = *requireListNumber(value, what.c_str(), false);
    const auto list = ListStore(c).find(number, now);
    if (!list || list->kind != kind)
        refuse(std::string("Lista de ") + listKindName(kind) + " " + std::to_string(number) + " não encontrada.");
    for (const Row& row : list->packet.rows)
        if (row.at(0).asString() != branch)
            refuse(std::string("A lista de ") + listKindName(kind) + " " + std::to_string(number) +
                   " não pertence à filial " + branch + ".");
    return list->packet;
}

// "T", or the key list of the grouping picker: each key is the group blank-padded to 10
// characters followed by the grouping, so blanks are part of a key here.
std::optional<std::set<std::pair<std::string, std::string>>> requireGroupings(db::Connection& c, const Variant& value) {
    constexpr size_t kGroupChars = 10, kKeyChars = 20;
    const std::string what = "Parâmetro P_LISTAGRUPPROD";
    if (!value.isString()) refuse(what + " deve ser um texto.");
    const std::string& text = value.str();
    if (text == "T") return std::nullopt;
    if (text.size() < 2 || text.front() != '_' || text.back() != '_')
        refuse(what + " deve ser \"T\" ou uma lista de chaves (\"_chave1_chave2_\").");
    std::set<std::pair<std::string, std::string>> keys;
    for (size_t start = 1; start < text.size();) {
        const size_t end = text.find('_', start);
        const std::string key = text.substr(start, end - start);
        start = end + 1;
        if (key.size() <= kGroupChars || key.size() > kKeyChars) refuse(what + " contém uma chave inválida.");
        const std::string group(trimmed(key.substr(0, kGroupChars)));
        const std::string grouping = key.substr(kGroupChars);
        for (const std::string& code : {group, grouping})
            if (code.empty() ||
                !std::all_of(code.begin(), code.end(), [](unsigned char ch) { return std::isalnum(ch) && ch < 0x80; }))
                refuse(what + " contém uma chave inválida.");
        if (!c.integer("SELECT 1 FROM product_grouping WHERE cdgrupprod = ? AND cdsubgrprod = ?", {group, grouping}))
            refuse("Agrupamento " + group + "/" + grouping + " não cadastrado.");
        keys.emplace(group, grouping);
    }
    return keys;
}

Variant requisitionReport(db::Connection& c, const std::map<std::string, Variant>& p, DateTime now) {
    ReportStore store(c);
    RequisitionReportFilter f;
    f.branch = requireCode(param(p, "P_CDFILIAL"), "Parâmetro P_CDFILIAL", 4);
    if (!store.branchName(f.branch)) refuse("Filial " + f.branch + " não cadastrada.");
    f.from = requireDate(param(p, "P_DATAINI"), "P_DATAINI");
    f.to = requireDate(param(p, "P_DATAFIN"), "P_DATAFIN");
    if (f.to < f.from) refuse("Parâmetro P_DATAINI deve ser menor ou igual a P_DATAFIN.");
    for (const Row& row :
         branchList(c, param(p, "P_NRLISTASERV"), "P_NRLISTASERV", ListKind::Services, f.branch, now).rows)
        f.services.insert(row.at(1).asString());
    for (const Row& row :
         branchList(c, param(p, "P_NRLISTATURNO"), "P_NRLISTATURNO", ListKind::Shifts, f.branch, now).rows)
        f.shifts.emplace(row.at(1).asString(), row.at(2).asString());
    f.levelChars =
        int(requireInteger(param(p, "P_TAMNIV"), "Parâmetro P_TAMNIV", 0, pictureLength(store.productPicture())));
    f.byCode = requireChoice(param(p, "P_ORDENA"), "P_ORDENA", {"C", "A"}) == "C";
    f.withMenu = requireChoice(param(p, "P_IDIMPRIMECARD"), "P_IDIMPRIMECARD", {"S", "N"}) == "S";
    // Layout only, but a bad value is still refused here rather than printed oddly.
    requireChoice(param(p, "P_IDQUEBRAPAGINA"), "P_IDQUEBRAPAGINA", {"S", "N"});
    requireInteger(param(p, "P_NRLINHABRANCA"), "Parâmetro P_NRLINHABRANCA", 0, 999);
    if (p.count("P_IDRESUMO")) requireChoice(p.at("P_IDRESUMO"), "P_IDRESUMO", {"S", "N"});
    f.groupings = requireGroupings(c, param(p, "P_LISTAGRUPPROD"));
    return Variant(store.requisitionItems(f));
}

}  // namespace

ReportObject::ReportObject(db::Database& database, Clock clock) : database_(database), clock_(std::move(clock)) {
    reports_["KRV520"] = {kRequisitionParams, {"P_IDRESUMO"}, requisitionReport};
}

void ReportObject::registerOn(rpc::Dispatcher& dispatcher) {
    dispatcher.add(kName, "GetDados", {rpc::ArgType::Any, rpc::ArgType::Any},
                   [this](std::vector<Variant>& a) { return GetDados(a); });
}

Variant ReportObject::GetDados(std::vector<Variant>& args) {
    const std::string code = requireCode(args.at(0), "Código do relatório", 10);
    const auto report = reports_.find(upper(code));
    if (report == reports_.end()) refuse("Relatório " + code + " desconhecido.");
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
    return report->second.query(database_.connection(), params, clock_());
}

}  // namespace krv::server
