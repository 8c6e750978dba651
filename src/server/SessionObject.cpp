#include "server/SessionObject.h"

#include "server/Arguments.h"

namespace krv::server {

void SessionObject::registerOn(rpc::Dispatcher& dispatcher) {
    dispatcher.add(kName, "DataProc", {rpc::ArgType::Any}, [this](std::vector<Variant>& a) { return DataProc(a); });
    dispatcher.add(kName, "DBPictObj", {rpc::ArgType::Any}, [this](std::vector<Variant>& a) { return DBPictObj(a); });
}

Variant SessionObject::DataProc(std::vector<Variant>& args) {
    const Variant& branch = args.at(0);
    if (branch.isString() && branch.str().empty()) return clock_().date();
    auto query = storage_.connection().statement("SELECT dtproc FROM branch WHERE cdfilial = ?");
    query->bind(1, requireCode(branch, "Código da filial", 4));
    if (query->executeStep())
        if (const auto date = DateTime::parseIso(query->getColumn(0).getString())) return date->date();
    return clock_().date();
}

Variant SessionObject::DBPictObj(std::vector<Variant>& args) {
    const int64_t type = requireInteger(args.at(0), "Tipo de máscara", 0, 9999);
    auto query = storage_.connection().statement("SELECT dspicture FROM code_picture WHERE tppicture = ?");
    query->bind(1, type);
    if (!query->executeStep())
        throw rpc::MethodFailure("Máscara de código do tipo " + std::to_string(type) + " não cadastrada.");
    return query->getColumn(0).getString();
}

}  // namespace krv::server
