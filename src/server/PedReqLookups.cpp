#include "server/PedReqObject.h"

#include "server/Arguments.h"
#include "server/PacketQuery.h"

namespace krv::server {

namespace {

constexpr const char* kBranchCode = "Código da filial";
constexpr size_t kBranchCodeSize = 4;

// The picker's mark column starts unmarked on every row.
const FieldDef kMarkString{"IDMARCADO", FieldType::String, 1};
const FieldDef kMarkFixed{"IDMARCADO", FieldType::Fixed, 1};

}  // namespace

void PedReqObject::registerOn(rpc::Dispatcher& dispatcher) {
    using rpc::ArgType;
    dispatcher.add(kName, "GetFilial", {ArgType::Any}, [this](std::vector<Variant>& a) { return GetFilial(a); });
    dispatcher.add(kName, "GetServico", {ArgType::Any}, [this](std::vector<Variant>& a) { return GetServico(a); });
    dispatcher.add(kName, "GetAgrupProd", {ArgType::Any}, [this](std::vector<Variant>& a) { return GetAgrupProd(a); });
}

Variant PedReqObject::GetFilial(std::vector<Variant>& args) {
    const std::vector<FieldDef> fields{kMarkString,
                                       {"CDFILIAL", FieldType::String, 4},
                                       {"NMFILIAL", FieldType::String, 30},
                                       {"OL", FieldType::Fixed, 1}};
    if (args.at(0).isString() && args[0].str() == "T") {
        auto all = storage_.connection().statement("SELECT 'N', cdfilial, nmfilial, ol FROM branch ORDER BY cdfilial");
        return queryPacket(*all, fields);
    }
    return branchLookup(args[0], "SELECT 'N', cdfilial, nmfilial, ol FROM branch WHERE cdfilial = ?", fields);
}

Variant PedReqObject::GetServico(std::vector<Variant>& args) {
    return branchLookup(args.at(0),
                        "SELECT 'N', cdfilial || cdservfili, cdservfili, nmservico FROM service"
                        " WHERE cdfilial = ? ORDER BY cdservfili",
                        {kMarkFixed,
                         {"CHAVE", FieldType::String, 9},
                         {"CDSERVFILI", FieldType::String, 5},
                         {"NMSERVICO", FieldType::String, 40}});
}

Variant PedReqObject::GetAgrupProd(std::vector<Variant>& args) {
    // Groupings are the company's, not the branch's; the branch only has to exist.
    return branchLookup(args.at(0),
                        "SELECT 'N', printf('%-10s%s', g.cdgrupprod, g.cdsubgrprod), g.cdsubgrprod, g.nmsubgrprod"
                        " FROM product_grouping g WHERE EXISTS (SELECT 1 FROM branch WHERE cdfilial = ?)"
                        " ORDER BY g.cdgrupprod, g.cdsubgrprod",
                        {kMarkFixed,
                         {"CHAVE", FieldType::String, 20},
                         {"CDSUBGRPROD", FieldType::String, 10},
                         {"NMSUBGRPROD", FieldType::String, 40}});
}

Variant PedReqObject::branchLookup(const Variant& branch, const char* sql, std::vector<FieldDef> fields) {
    auto query = storage_.connection().statement(sql);
    query->bind(1, requireCode(branch, kBranchCode, kBranchCodeSize));
    return queryPacket(*query, std::move(fields));
}

}  // namespace krv::server
