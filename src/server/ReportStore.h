#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// The filter of the requisition report KRV520, already checked against the database.
struct RequisitionReportFilter {
    std::string branch;
    DateTime from, to;
    std::set<std::string> services;                        // CDSERVFILI
    std::set<std::pair<std::string, std::string>> shifts;  // CDSERVFILI, CDTURNO
    // CDGRUPPROD, CDSUBGRPROD; nullopt for every grouping.
    std::optional<std::set<std::pair<std::string, std::string>>> groupings;
    bool byCode = true;  // otherwise by the first `levelChars` characters of the code, then by name
    int levelChars = 0;
    bool withMenu = false;
};

// The queries of the reports. Each returns the rows its report definition lays out.
class ReportStore {
public:
    explicit ReportStore(db::Connection& connection) : c_(connection) {}

    // One row per product of each day, service and shift: the quantities of the three
    // consumption types summed over that block's requisitions, with the block's diners and,
    // on request, its menu, and the product's package size (QTEMBALAGEM, last). Ordered by
    // block, then as the filter says.
    DataPacket requisitionItems(const RequisitionReportFilter& filter);

    std::optional<std::string> branchName(const std::string& branch);
    // The picture of product codes ("9.99.999.9999").
    std::string productPicture();

private:
    db::Connection& c_;
};

// "1020030004" shown through "9.99.999.9999" is "1.02.003.0004". Characters beyond the
// picture are appended after one more dot; a shorter code stops where it ends.
std::string applyPicture(const std::string& code, const std::string& picture);
// Characters a code has under a picture: the picture without its dots.
int pictureLength(const std::string& picture);

// A Portuguese ordering of names that does not depend on the database's collation:
// case and accents are ignored first ("água" next to "agrião"), and only break ties.
bool namesInOrder(const std::string& a, const std::string& b);

}  // namespace krv::server
