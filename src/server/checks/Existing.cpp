#include "server/checks/Existing.h"

#include "server/checks/Arguments.h"

namespace krv::server {

void requireBranch(db::Connection& connection, const std::string& branch, const std::string& prefix) {
    if (!connection.integer("SELECT 1 FROM branch WHERE cdfilial = ?", {branch}))
        refuse(prefix + " " + branch + " não cadastrada.");
}

StoredList existingList(ListStore& lists, int64_t number, ListKind kind, DateTime now) {
    const auto list = lists.find(number, now);
    if (!list)
        refuse(std::string("Lista de ") + listKindName(kind) + " " + std::to_string(number) + " não encontrada.");
    if (list->kind != kind)
        refuse("A lista " + std::to_string(number) + " não é uma lista de " + listKindName(kind) + ".");
    return *list;
}

std::optional<int64_t> ownList(ListStore& lists, const Variant& number, ListKind kind, const char* what, DateTime now) {
    const auto checked = requireListNumber(number, what, true);
    if (!checked) return std::nullopt;
    const auto list = lists.find(*checked, now);
    if (!list) return std::nullopt;
    if (list->kind != kind)
        refuse(std::string(what) + ": a lista " + std::to_string(*checked) + " não é uma lista de " +
               listKindName(kind) + ".");
    return checked;
}

int64_t branchList(ListStore& lists, const Variant& value, const std::string& name, ListKind kind,
                   const std::string& branch, DateTime now) {
    const std::string what = "Parâmetro " + name;
    const int64_t number = *requireListNumber(value, what.c_str(), false);
    const auto list = lists.find(number, now);
    if (!list || list->kind != kind)
        refuse(std::string("Lista de ") + listKindName(kind) + " " + std::to_string(number) + " não encontrada.");
    if (lists.holdsOtherBranches(number, branch))
        refuse(std::string("A lista de ") + listKindName(kind) + " " + std::to_string(number) +
               " não pertence à filial " + branch + ".");
    return number;
}

}  // namespace krv::server
