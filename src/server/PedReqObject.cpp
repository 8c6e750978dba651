#include "server/PedReqObject.h"

#include "server/Arguments.h"
#include "server/PedReqStore.h"

namespace krv::server {

namespace {

constexpr const char* kBranchCode = "Código da filial";
constexpr size_t kBranchCodeSize = 4;

}  // namespace

void PedReqObject::registerOn(rpc::Dispatcher& dispatcher) {
    using rpc::ArgType;
    dispatcher.add(kName, "GetFilial", {ArgType::Any}, [this](std::vector<Variant>& a) { return GetFilial(a); });
    dispatcher.add(kName, "GetServico", {ArgType::Any}, [this](std::vector<Variant>& a) { return GetServico(a); });
    dispatcher.add(kName, "GetAgrupProd", {ArgType::Any}, [this](std::vector<Variant>& a) { return GetAgrupProd(a); });
}

Variant PedReqObject::GetFilial(std::vector<Variant>& args) {
    if (args.at(0).isString() && args[0].str() == "T") return store().allBranches();
    return store().branch(requireCode(args[0], kBranchCode, kBranchCodeSize));
}

Variant PedReqObject::GetServico(std::vector<Variant>& args) {
    return store().services(requireCode(args.at(0), kBranchCode, kBranchCodeSize));
}

Variant PedReqObject::GetAgrupProd(std::vector<Variant>& args) {
    return store().groupings(requireCode(args.at(0), kBranchCode, kBranchCodeSize));
}

PedReqStore PedReqObject::store() { return PedReqStore(database_.connection()); }

}  // namespace krv::server
