#include "server/objects/SessionObject.h"

#include "server/checks/Arguments.h"
#include "server/stores/SessionStore.h"

namespace krv::server {

void SessionObject::registerOn(rpc::Dispatcher& dispatcher) {
    dispatcher.add(kName, "DataProc", {rpc::ArgType::Any}, [this](std::vector<Variant>& a) { return DataProc(a); });
    dispatcher.add(kName, "DBPictObj", {rpc::ArgType::Any}, [this](std::vector<Variant>& a) { return DBPictObj(a); });
}

Variant SessionObject::DataProc(std::vector<Variant>& args) {
    const Variant& branch = args.at(0);
    if (branch.isString() && branch.str().empty()) return clock_().date();
    const std::string code = requireCode(branch, "Código da filial", 4);
    return SessionStore(database_.connection()).processingDate(code).value_or(clock_().date());
}

Variant SessionObject::DBPictObj(std::vector<Variant>& args) {
    const int64_t type = requireInteger(args.at(0), "Tipo de máscara", 0, 9999);
    const auto picture = SessionStore(database_.connection()).codePicture(type);
    if (!picture) throw rpc::MethodFailure("Máscara de código do tipo " + std::to_string(type) + " não cadastrada.");
    return *picture;
}

}  // namespace krv::server
