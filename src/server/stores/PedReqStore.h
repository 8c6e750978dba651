#pragma once
#include <cstdint>
#include <string>
#include <vector>

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

    // The codes of the branch's services, in order.
    std::vector<std::string> serviceCodes(const std::string& branch);
    // Every shift of the services of a service list, as the shift picker shows them: the
    // key is CDFILIAL‖CDSERVFILI‖CDTURNO.
    DataPacket shiftsOfList(int64_t serviceList);

private:
    db::Connection& c_;
};

}  // namespace krv::server
