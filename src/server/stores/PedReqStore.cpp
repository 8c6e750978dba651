#include "server/stores/PedReqStore.h"

namespace krv::server {

namespace {

const FieldDef kMarkString{"IDMARCADO", FieldType::String, 1};
const FieldDef kMarkFixed{"IDMARCADO", FieldType::Fixed, 1};

const std::vector<FieldDef> kBranchFields{
    kMarkString, {"CDFILIAL", FieldType::String, 4}, {"NMFILIAL", FieldType::String, 30}, {"OL", FieldType::Fixed, 1}};

}  // namespace

DataPacket PedReqStore::branch(const std::string& code) {
    return c_.packet("SELECT 'N', cdfilial, nmfilial, ol FROM branch WHERE cdfilial = ?", {code}, kBranchFields);
}

DataPacket PedReqStore::allBranches() {
    return c_.packet("SELECT 'N', cdfilial, nmfilial, ol FROM branch ORDER BY cdfilial", {}, kBranchFields);
}

DataPacket PedReqStore::services(const std::string& branch) {
    return c_.packet(
        "SELECT 'N', cdfilial || cdservfili, cdservfili, nmservico FROM service WHERE cdfilial = ? ORDER BY cdservfili",
        {branch},
        {kMarkFixed,
         {"CHAVE", FieldType::String, 9},
         {"CDSERVFILI", FieldType::String, 5},
         {"NMSERVICO", FieldType::String, 40}});
}

DataPacket PedReqStore::groupings(const std::string& branch) {
    // The key is the group padded with blanks to its full 10 characters, then the grouping.
    return c_.packet(
        "SELECT 'N', substr(g.cdgrupprod || '          ', 1, 10) || g.cdsubgrprod, g.cdsubgrprod, g.nmsubgrprod"
        " FROM product_grouping g WHERE EXISTS (SELECT 1 FROM branch WHERE cdfilial = ?)"
        " ORDER BY g.cdgrupprod, g.cdsubgrprod",
        {branch},
        {kMarkFixed,
         {"CHAVE", FieldType::String, 20},
         {"CDSUBGRPROD", FieldType::String, 10},
         {"NMSUBGRPROD", FieldType::String, 40}});
}

std::vector<std::string> PedReqStore::serviceCodes(const std::string& branch) {
    std::vector<std::string> codes;
    c_.each("SELECT cdservfili FROM service WHERE cdfilial = ? ORDER BY cdservfili", {branch},
            [&](const db::ResultRow& row) { codes.push_back(row.text(0)); });
    return codes;
}

DataPacket PedReqStore::shiftsOfList(int64_t serviceList) {
    // A service list holds one branch's services, so ordering by service and shift is enough.
    return c_.packet(
        "SELECT 'N', t.cdfilial || t.cdservfili || t.cdturno, t.cdservfili, s.nmservico, t.cdturno, t.nmturno"
        " FROM service_list_item l"
        " JOIN shift t ON t.cdfilial = l.cdfilial AND t.cdservfili = l.cdservfili"
        " JOIN service s ON s.cdfilial = t.cdfilial AND s.cdservfili = t.cdservfili"
        " WHERE l.nrlista = ? ORDER BY t.cdservfili, t.cdturno",
        {serviceList},
        {kMarkFixed,
         {"CHAVE", FieldType::String, 10},
         {"CDSERVFILI", FieldType::String, 5},
         {"NMSERVICO", FieldType::String, 40},
         {"CDTURNO", FieldType::String, 1},
         {"NMTURNO", FieldType::String, 10}});
}

}  // namespace krv::server
