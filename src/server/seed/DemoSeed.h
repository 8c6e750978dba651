#pragma once
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

}  // namespace krv::server
