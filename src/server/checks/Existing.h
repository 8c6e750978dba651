#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "core/DateTime.h"
#include "core/Variant.h"
#include "server/storage/Database.h"
#include "server/stores/ListStore.h"

namespace krv::server {

// Checks of remote-call arguments against what the database holds; each refuses with the
// text the user reads.

// "Filial X não cadastrada." unless the branch exists; `prefix` words it ("Filial corrente").
void requireBranch(db::Connection& connection, const std::string& branch, const std::string& prefix = "Filial");

// A list that must exist, of that kind.
StoredList existingList(ListStore& lists, int64_t number, ListKind kind, DateTime now);

// A by-reference current number: empty or gone gives nothing to replace; a list of
// another kind is refused.
std::optional<int64_t> ownList(ListStore& lists, const Variant& number, ListKind kind, const char* what, DateTime now);

// A report parameter naming a list of `kind` that exists and holds rows of `branch` only.
int64_t branchList(ListStore& lists, const Variant& value, const std::string& name, ListKind kind,
                   const std::string& branch, DateTime now);

}  // namespace krv::server
