#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "core/Variant.h"

namespace krv::server {

// Checks of remote-call arguments. Each returns the checked value or throws
// rpc::MethodFailure with a Portuguese text that names the argument (`what`, written as
// the user would say it, e.g. "Código da filial"), so the caller sees [false, message].

// A code of letters and digits only, 1 to maxChars long.
std::string requireCode(const Variant& value, const char* what, size_t maxChars);

// Any UTF-8 text of at most maxChars characters; empty only when allowed.
std::string requireText(const Variant& value, const char* what, size_t maxChars, bool mayBeEmpty);

// A whole number in [min, max]; an integral float is accepted, as some clients send them.
int64_t requireInteger(const Variant& value, const char* what, int64_t min, int64_t max);

// A selection: "T" for everything (nullopt), or a key list "_k1_k2_" whose keys are codes
// of letters and digits, 1 to maxKeyChars long, each followed by "_". A key given twice
// counts once. `what` names a feminine noun ("Seleção de serviços").
std::optional<std::set<std::string>> requireSelection(const Variant& value, const char* what, size_t maxKeyChars);

// A server-held list's number, sent as a text of digits. Empty gives nullopt when allowed.
// `what` names a masculine noun ("Número da lista de serviços").
std::optional<int64_t> requireListNumber(const Variant& value, const char* what, bool mayBeEmpty);

struct Period {
    DateTime start;
    DateTime end;
};

// Two dates, the start not after the end; a time of day that came along is dropped, as the
// screens send dates at midnight. `maxDays` > 0 also bounds the period's length.
Period requirePeriod(const Variant& start, const Variant& end, int maxDays = 0);

// Characters of a UTF-8 text; npos when the bytes are not valid UTF-8.
size_t utf8Length(std::string_view text);

}  // namespace krv::server
