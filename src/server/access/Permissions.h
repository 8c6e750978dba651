#pragma once
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "rpc/Dispatcher.h"
#include "server/storage/Database.h"
#include "server/stores/OrderReadStore.h"

namespace krv::server {

// What an operator does for the company. Each role may do the actions of allows().
enum class Role { Kitchen, Purchasing, Logistics, Administrator };

// The name a role is stored, typed and shown with ("cozinha", …); nullopt for no role's name.
std::string roleName(Role role);
std::optional<Role> roleNamed(const std::string& name);
const std::vector<Role>& allRoles();

// What a remote method does, as far as who may call it goes.
enum class Action {
    Consult,                // lookups and the caller's own selection lists: every role
    CalculateRequisitions,  // kitchen, purchasing
    ReadRequisitions,       // items, prints, explanations: kitchen, purchasing, logistics
    OrderScreen,            // the requisitions to order and their lists: purchasing
    PreviewOrders,          // purchasing
    GenerateOrders,         // purchasing
    CancelOrders,           // purchasing
    ListOrders,             // the orders window: kitchen (its own kitchens'), purchasing, logistics
    MarkOrdersSent,         // purchasing
    Forecast,               // logistics
    ReadForecast,           // purchasing, logistics
    BatchCalculation,       // requisitions of every kitchen a logistic operator supplies: logistics
    PickLists,              // logistics
    ReceiveOrders,          // kitchen, purchasing
    CountStock,             // kitchen, purchasing
};
const std::vector<Action>& allActions();
// The administrator may do everything.
bool allows(Role role, Action action);
// How a refusal words the action: "gerar pedidos".
std::string actionWords(Action action);

// One caller's role and branches, read from the operator table at each call, so that a
// role changed or an operator deactivated meanwhile counts from the operator's next call.
// A session without an operator (the shared token of --token-file) keeps the access every
// session had before operators had roles: an administrator of every branch.
class Permissions {
public:
    // Refuses an operator that is gone or deactivated.
    static Permissions of(db::Connection& connection, const rpc::Caller& caller);

    Role role() const { return role_; }
    // nullopt: every branch.
    const std::optional<std::set<std::string>>& scope() const { return scope_; }
    bool covers(const std::string& branch) const { return !scope_ || scope_->count(branch); }

    // "Operador X (cozinha) não pode gerar pedidos."
    void require(Action action) const;
    std::string refusal(Action action) const;
    // "Operador X não atende a filial 0002."
    void requireBranch(const std::string& branch) const;
    template <class Range>
    void requireBranches(const Range& branches) const {
        for (const std::string& branch : branches) requireBranch(branch);
    }
    // A branch selection (nullopt: "T") narrowed to the scope: "T" becomes the branches in
    // scope, and a chosen branch outside it is refused.
    std::optional<std::set<std::string>> narrow(const std::optional<std::set<std::string>>& selection) const;

    // The generated orders this caller sees, only those of kitchens in scope: the ones it
    // generated itself, or for a logistic operator and a kitchen every order of its kitchens,
    // since those are the ones it picks and ships, or receives, whoever bought them. Orders belong to operators, so the
    // shared token's session is refused.
    OrderViewer orderViewer() const;
    // Refuses when an order of these numbers is of a kitchen outside the scope.
    void requireOrders(db::Connection& connection, const std::vector<int64_t>& orders) const;

private:
    Permissions(std::string name, Role role, std::optional<std::set<std::string>> scope)
        : name_(std::move(name)), role_(role), scope_(std::move(scope)) {}
    std::string name_;
    Role role_;
    std::optional<std::set<std::string>> scope_;
};

}  // namespace krv::server
