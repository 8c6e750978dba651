#pragma once
#include <optional>
#include <string>

#include "core/DateTime.h"
#include "server/storage/Database.h"

namespace krv::server {

// What the host's session asks of the database.
class SessionStore {
public:
    explicit SessionStore(db::Connection& connection) : c_(connection) {}

    std::optional<DateTime> processingDate(const std::string& branch);
    std::optional<std::string> codePicture(int64_t type);

private:
    db::Connection& c_;
};

}  // namespace krv::server
