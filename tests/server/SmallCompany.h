#pragma once
#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server::test {

// The Monday of smallCompany()'s menus and diners.
inline const DateTime kSmallCompanyMonday = DateTime::fromDate(2026, 3, 2);

// A company small enough to work out its requisitions by hand (see the .cpp); on an
// empty schema, in the caller's transaction.
void smallCompany(db::Connection& c);

}  // namespace krv::server::test
