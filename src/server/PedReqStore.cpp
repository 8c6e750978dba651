#include "server/PedReqStore.h"

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

bool PedReqStore::branchExists(const std::string& branch) {
    return c_.integer("SELECT 1 FROM branch WHERE cdfilial = ?", {branch}).has_value();
}

DataPacket PedReqStore::serviceListRows(const std::string& branch) {
    return c_.packet("SELECT cdfilial, cdservfili FROM service WHERE cdfilial = ? ORDER BY cdservfili", {branch},
                     {{"CDFILIAL", FieldType::String, 4}, {"CDSERVFILI", FieldType::String, 5}});
}

DataPacket PedReqStore::shifts(const std::string& branch) {
    return c_.packet(
        "SELECT 'N', t.cdfilial || t.cdservfili || t.cdturno, t.cdservfili, s.nmservico, t.cdturno, t.nmturno"
        " FROM shift t JOIN service s ON s.cdfilial = t.cdfilial AND s.cdservfili = t.cdservfili"
        " WHERE t.cdfilial = ? ORDER BY t.cdservfili, t.cdturno",
        {branch},
        {kMarkFixed,
         {"CHAVE", FieldType::String, 10},
         {"CDSERVFILI", FieldType::String, 5},
         {"NMSERVICO", FieldType::String, 40},
         {"CDTURNO", FieldType::String, 1},
         {"NMTURNO", FieldType::String, 10}});
}

}  // namespace krv::server
