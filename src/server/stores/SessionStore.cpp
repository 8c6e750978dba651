#include "server/stores/SessionStore.h"

namespace krv::server {

std::optional<DateTime> SessionStore::processingDate(const std::string& branch) {
    std::optional<DateTime> date;
    c_.each("SELECT dtproc FROM branch WHERE cdfilial = ?", {branch},
            [&](const db::ResultRow& row) { date = row.dateTime(0).date(); });
    return date;
}

std::optional<std::string> SessionStore::codePicture(int64_t type) {
    return c_.text("SELECT dspicture FROM code_picture WHERE tppicture = ?", {type});
}

}  // namespace krv::server
