#pragma once
#include <string>

#include "core/DataPacket.h"
#include "server/storage/Database.h"

namespace krv::server {

// The SQL of the requisition module. Each lookup answers a packet with exactly the fields
// the screen's data set declares, the picker's mark column unmarked on every row; an
// unknown branch gives no rows.
class PedReqStore {
public:
    explicit PedReqStore(db::Connection& connection) : c_(connection) {}

    DataPacket branch(const std::string& code);
    DataPacket allBranches();
    DataPacket services(const std::string& branch);
    // Groupings are the company's, not the branch's; the branch only has to exist.
    DataPacket groupings(const std::string& branch);

    bool branchExists(const std::string& branch);
    // The branch's services as the rows of a service list: CDFILIAL, CDSERVFILI.
    DataPacket serviceListRows(const std::string& branch);
    // Every shift of the branch's services, as the shift picker shows them: the key is
    // CDFILIAL‖CDSERVFILI‖CDTURNO.
    DataPacket shifts(const std::string& branch);

private:
    db::Connection& c_;
};

}  // namespace krv::server
