#pragma once
#include <vector>

#include "core/DataPacket.h"
#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/Storage.h"

namespace krv::server {

// "KRV52000.rdmPedReq": requisitions and orders of the requisition module.
class PedReqObject {
public:
    static constexpr const char* kName = "KRV52000.rdmPedReq";

    explicit PedReqObject(Storage& storage) : storage_(storage) {}
    void registerOn(rpc::Dispatcher& dispatcher);

    // Lookups for the screens' pickers. Each answers a packet with exactly the fields the
    // screen's data set declares; an unknown branch gives no rows.
    Variant GetFilial(std::vector<Variant>& args);     // code, or "T" for every branch
    Variant GetServico(std::vector<Variant>& args);    // branch
    Variant GetAgrupProd(std::vector<Variant>& args);  // branch

private:
    // Runs `sql`, whose one parameter is the branch code, into a packet of `fields`.
    Variant branchLookup(const Variant& branch, const char* sql, std::vector<FieldDef> fields);

    Storage& storage_;
};

}  // namespace krv::server
