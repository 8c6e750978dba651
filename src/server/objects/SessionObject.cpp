#include "server/objects/SessionObject.h"

#include "server/access/Permissions.h"
#include "server/checks/Arguments.h"
#include "server/stores/SessionStore.h"

namespace krv::server {

void SessionObject::registerOn(rpc::Dispatcher& dispatcher) {
    // Every role may open a session; the check still refuses an operator deactivated since login.
    const auto bind = [this](Variant (SessionObject::*method)(const Permissions&, std::vector<Variant>&)) {
        return rpc::CallerMethod([this, method](const rpc::Caller& caller, std::vector<Variant>& a) {
            const Permissions permissions = Permissions::of(database_.connection(), caller);
            permissions.require(Action::Consult);
            return (this->*method)(permissions, a);
        });
    };
    dispatcher.add(kName, "DataProc", {rpc::ArgType::Any}, bind(&SessionObject::DataProc));
    dispatcher.add(kName, "DBPictObj", {rpc::ArgType::Any}, bind(&SessionObject::DBPictObj));
    dispatcher.add(kName, "GetAcesso", {}, bind(&SessionObject::GetAcesso));
}

Variant SessionObject::DataProc(const Permissions&, std::vector<Variant>& args) {
    const Variant& branch = args.at(0);
    if (branch.isString() && branch.str().empty()) return clock_().date();
    const std::string code = requireCode(branch, "Código da filial", 4);
    return SessionStore(database_.connection()).processingDate(code).value_or(clock_().date());
}

Variant SessionObject::DBPictObj(const Permissions&, std::vector<Variant>& args) {
    const int64_t type = requireInteger(args.at(0), "Tipo de máscara", 0, 9999);
    const auto picture = SessionStore(database_.connection()).codePicture(type);
    if (!picture) throw rpc::MethodFailure("Máscara de código do tipo " + std::to_string(type) + " não cadastrada.");
    return *picture;
}

Variant SessionObject::GetAcesso(const Permissions& permissions, std::vector<Variant>&) {
    Variant::Array branches;
    if (permissions.scope())
        for (const std::string& branch : *permissions.scope()) branches.emplace_back(branch);
    Variant::Array refused;
    for (const Action action : allActions())
        if (!allows(permissions.role(), action))
            refused.emplace_back(Variant::Array{Variant(actionWords(action)), Variant(permissions.refusal(action))});
    return Variant(Variant::Array{Variant(roleName(permissions.role())),
                                  permissions.scope() ? Variant(std::move(branches)) : Variant("T"),
                                  Variant(std::move(refused))});
}

}  // namespace krv::server
