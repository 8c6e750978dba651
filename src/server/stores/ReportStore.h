#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/DataPacket.h"
#include "core/DateTime.h"
#include "server/model/Requests.h"
#include "server/storage/Database.h"

namespace krv::server {

// The filter of the requisition report KRV520, already checked against the database.
struct RequisitionReportFilter {
    std::string branch;
    DateTime from, to;
    int64_t serviceList = 0;                         // a service list of the branch: the services shown
    int64_t shiftList = 0;                           // a shift list of the branch: the shifts shown
    std::optional<std::set<GroupingKey>> groupings;  // nullopt for every grouping
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
    // The rows, in no order yet; `codes` gets each row's bare product code.
    DataPacket requisitionRows(const RequisitionReportFilter& filter, std::vector<std::string>& codes);
    // Each row's block gets its menu.
    void addMenus(DataPacket& packet, const RequisitionReportFilter& filter);

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
