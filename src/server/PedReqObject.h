#pragma once
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/PedReqStore.h"
#include "server/storage/Database.h"

namespace krv::server {

// "KRV52000.rdmPedReq": requisitions and orders of the requisition module. Validates the
// arguments and hands the work to PedReqStore.
class PedReqObject {
public:
    static constexpr const char* kName = "KRV52000.rdmPedReq";

    explicit PedReqObject(db::Database& database) : database_(database) {}
    void registerOn(rpc::Dispatcher& dispatcher);

    // Lookups for the screens' pickers.
    Variant GetFilial(std::vector<Variant>& args);     // code, or "T" for every branch
    Variant GetServico(std::vector<Variant>& args);    // branch
    Variant GetAgrupProd(std::vector<Variant>& args);  // branch

private:
    PedReqStore store();  // on the calling thread's connection

    db::Database& database_;
};

}  // namespace krv::server
