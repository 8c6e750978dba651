#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "server/storage/Database.h"

// Helpers the drivers share; nothing outside src/server/storage needs them.
namespace krv::server::db {

// Dates and timestamps as both engines read them back: "yyyy-mm-dd" and
// "yyyy-mm-dd hh:mm:ss", the latter also at midnight.
inline std::string sqlText(DateTime date) { return date.toIso(); }
inline std::string sqlText(Timestamp t) {
    const std::string text = t.value.toIso();
    return text.size() == 10 ? text + " 00:00:00" : text;
}

// Lets statement caches keyed by std::string be searched with a string_view.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace krv::server::db
