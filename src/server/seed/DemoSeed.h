#pragma once
#include <string>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// Fills an empty database with a demo catering company: branches (one of them the
// logistic operator that supplies the others), their services and shifts, products,
// dishes with recipes, menus and diner counts from 30 days before to 60 days after
// `today` (every branch's processing date), fixed and per-capita consumption and the
// default-dish parameters. The same data every time for the same date. Does nothing and
// returns false when the database already has a branch.
bool seedDemo(db::Connection& connection, DateTime today);

// The size of a large demo company: its ordinary branches, supplied by one logistic
// operator per kBranchesPerOperator of them.
struct DemoSize {
    int branches = 0;
};
inline constexpr int kMaxDemoBranches = 5000;
inline constexpr int kBranchesPerOperator = 25;

// The demo company with `size.branches` ordinary kitchens (codes 0001 on, their operators
// after them) and the same catalogue, services, shifts and days, each kitchen with some of
// the services and each service's day between 60 and 300 diners. The same data every
// time. Does nothing and returns false when the database already has a branch; throws
// std::invalid_argument for a size outside 1 to kMaxDemoBranches.
bool seedDemo(db::Connection& connection, DateTime today, DemoSize size);

// A code of four digits, as the demo company gives its kitchens and items: 1 is "0001".
std::string fourDigitCode(size_t n);

}  // namespace krv::server
