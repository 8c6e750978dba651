#include "server/access/Permissions.h"

#include "server/checks/Arguments.h"
#include "server/stores/OperatorStore.h"
#include "server/stores/ScopeStore.h"

namespace krv::server {

namespace {

struct RoleRow {
    Role role;
    const char* name;
};
constexpr RoleRow kRoles[] = {{Role::Kitchen, "cozinha"},
                              {Role::Purchasing, "compras"},
                              {Role::Logistics, "operador logístico"},
                              {Role::Administrator, "administrador"}};

}  // namespace

std::string roleName(Role role) {
    for (const RoleRow& row : kRoles)
        if (row.role == role) return row.name;
    return {};
}

std::optional<Role> roleNamed(const std::string& name) {
    for (const RoleRow& row : kRoles)
        if (name == row.name) return row.role;
    return std::nullopt;
}

const std::vector<Role>& allRoles() {
    static const std::vector<Role> roles{Role::Kitchen, Role::Purchasing, Role::Logistics, Role::Administrator};
    return roles;
}

const std::vector<Action>& allActions() {
    static const std::vector<Action> actions{Action::Consult,          Action::CalculateRequisitions,
                                             Action::ReadRequisitions, Action::OrderScreen,
                                             Action::PreviewOrders,    Action::GenerateOrders,
                                             Action::CancelOrders,     Action::ListOrders,
                                             Action::MarkOrdersSent,   Action::Forecast,
                                             Action::ReadForecast,     Action::BatchCalculation,
                                             Action::PickLists,        Action::ReceiveOrders,
                                             Action::CountStock};
    return actions;
}

bool allows(Role role, Action action) {
    if (role == Role::Administrator) return true;
    const bool kitchen = role == Role::Kitchen, purchasing = role == Role::Purchasing,
               logistics = role == Role::Logistics;
    switch (action) {
        case Action::Consult:
        case Action::ReadRequisitions:
            return true;
        case Action::CalculateRequisitions:
            return kitchen || purchasing;
        case Action::OrderScreen:
        case Action::PreviewOrders:
        case Action::GenerateOrders:
        case Action::CancelOrders:
        case Action::MarkOrdersSent:
            return purchasing;
        case Action::ListOrders:
            return kitchen || purchasing || logistics;
        case Action::ReadForecast:
            return purchasing || logistics;
        case Action::ReceiveOrders:
        case Action::CountStock:
            return kitchen || purchasing;
        case Action::Forecast:
        case Action::BatchCalculation:
        case Action::PickLists:
            return logistics;
    }
    return false;
}

std::string actionWords(Action action) {
    switch (action) {
        case Action::Consult:
            return "fazer consultas";
        case Action::CalculateRequisitions:
            return "calcular requisições";
        case Action::ReadRequisitions:
            return "consultar requisições";
        case Action::OrderScreen:
            return "selecionar requisições para pedidos";
        case Action::PreviewOrders:
            return "ver a prévia de pedidos";
        case Action::GenerateOrders:
            return "gerar pedidos";
        case Action::CancelOrders:
            return "cancelar pedidos";
        case Action::ListOrders:
            return "consultar pedidos";
        case Action::MarkOrdersSent:
            return "marcar pedidos como enviados";
        case Action::Forecast:
            return "calcular a previsão de consumo";
        case Action::ReadForecast:
            return "consultar a previsão de consumo";
        case Action::BatchCalculation:
            return "calcular requisições de várias filiais";
        case Action::PickLists:
            return "emitir listas de separação";
        case Action::ReceiveOrders:
            return "receber pedidos";
        case Action::CountStock:
            return "registrar contagens de estoque";
    }
    return {};
}

Permissions Permissions::of(db::Connection& connection, const rpc::Caller& caller) {
    if (caller.operatorName.empty()) return Permissions({}, Role::Administrator, std::nullopt);
    OperatorStore operators(connection);
    const auto grant = operators.grant(caller.operatorName);
    if (!grant) refuse("Operador " + caller.operatorName + " não cadastrado.");
    if (!grant->active) refuse("Operador " + caller.operatorName + " está desativado.");
    // The column's check admits only the names of roleNamed().
    const Role role = roleNamed(grant->role).value_or(Role::Kitchen);
    std::optional<std::set<std::string>> scope;
    if (!grant->allBranches) scope = operators.scope(caller.operatorName);
    return Permissions(caller.operatorName, role, std::move(scope));
}

void Permissions::require(Action action) const {
    if (!allows(role_, action)) refuse(refusal(action));
}

std::string Permissions::refusal(Action action) const {
    return "Operador " + name_ + " (" + roleName(role_) + ") não pode " + actionWords(action) + ".";
}

void Permissions::requireBranch(const std::string& branch) const {
    if (!covers(branch)) refuse("Operador " + name_ + " não atende a filial " + branch + ".");
}

std::optional<std::set<std::string>> Permissions::narrow(const std::optional<std::set<std::string>>& selection) const {
    if (!selection) return scope_;
    requireBranches(*selection);
    return selection;
}

void Permissions::requireOrders(db::Connection& connection, const std::vector<int64_t>& orders) const {
    requireBranches(ScopeStore(connection).branchesOfOrders(orders));
}

OrderViewer Permissions::orderViewer() const {
    if (name_.empty()) refuse("Pedidos só podem ser consultados numa sessão com operador: entre com operador e senha.");
    OrderViewer viewer;
    if (role_ != Role::Logistics && role_ != Role::Kitchen) viewer.generatedBy = name_;
    viewer.kitchens = scope_;
    return viewer;
}

}  // namespace krv::server
