#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"
#include "server/model/Requests.h"

namespace krv::server {

// Checks of remote-call arguments. Each returns the checked value or refuses: throws
// rpc::MethodFailure with a Portuguese text that names the argument (`what`, written as
// the user would say it, e.g. "Código da filial"), so the caller sees [false, message].

// One way to refuse a call.
[[noreturn]] void refuse(const std::string& message);

// An ASCII letter or digit: what codes and keys are made of.
bool isLetterOrDigit(unsigned char c);
// 1 to maxChars letters and digits.
bool isCode(std::string_view text, size_t maxChars);

// A code of letters and digits only, 1 to maxChars long.
std::string requireCode(const Variant& value, const char* what, size_t maxChars);

// Any UTF-8 text of at most maxChars characters; empty only when allowed.
std::string requireText(const Variant& value, const char* what, size_t maxChars, bool mayBeEmpty);

// The operator argument of a call. It is never taken on trust: it must name the operator
// the session logged in as, so nobody records work in another's name, and a session
// without an operator (the shared token) may name none.
std::string requireOperator(const Variant& value, const rpc::Caller& caller);

// A whole number in [min, max]; an integral float is accepted, as some clients send them.
int64_t requireInteger(const Variant& value, const char* what, int64_t min, int64_t max);

// A selection: "T" for everything (nullopt), or a key list "_k1_k2_" whose keys are codes
// of letters and digits, 1 to maxKeyChars long, each followed by "_". A key given twice
// counts once. `what` names a feminine noun ("Seleção de serviços").
std::optional<std::set<std::string>> requireSelection(const Variant& value, const char* what, size_t maxKeyChars);

// A server-held list's number, sent as a text of digits. Empty gives nullopt when allowed.
// `what` names a masculine noun ("Número da lista de serviços").
std::optional<int64_t> requireListNumber(const Variant& value, const char* what, bool mayBeEmpty);

// Two dates, the start not after the end; a time of day that came along is dropped, as the
// screens send dates at midnight. `maxDays` > 0 also bounds the period's length.
Period requirePeriod(const Variant& start, const Variant& end, int maxDays = 0);

// How a key list is worded when it is not one: `missing` when it is empty or a lone "_"
// (nullptr: `shape` then too), `shape` when it is not "_"-delimited.
struct KeyListWording {
    const char* missing;
    const char* shape;
};
inline constexpr KeyListWording kSelectionWording{
    "deve ser informada.",
    "deve ser \"T\" ou chaves, cada uma seguida de \"_\", após um \"_\" inicial (\"_chave1_chave2_\")."};

// The keys of a key list "_k1_k2_" as sent, an empty one too; nullopt for "T".
std::optional<std::vector<std::string>> requireKeys(const Variant& value, const std::string& what,
                                                    const KeyListWording& wording);

// A key list whose keys `keyRule` turns into values, refusing the ones it does not take;
// a key given twice counts once. nullopt for "T".
template <class Key, class KeyRule>
std::optional<std::set<Key>> requireKeyList(const Variant& value, const std::string& what,
                                            const KeyListWording& wording, KeyRule keyRule) {
    const auto keys = requireKeys(value, what, wording);
    if (!keys) return std::nullopt;
    std::set<Key> values;
    for (const std::string& key : *keys) values.insert(keyRule(key));
    return values;
}

// A key of the grouping picker: the group padded with blanks to 10 characters, then the
// grouping; nullopt when it is not one.
std::optional<GroupingKey> groupingKey(std::string_view key);

// "T" (nullopt: every grouping) or a key list of grouping picker keys.
std::optional<std::set<GroupingKey>> requireGroupingSelection(const Variant& value);

// One of `choices`, e.g. {"S", "N"}: "`what` deve ser "S" ou "N"." otherwise.
std::string requireChoice(const Variant& value, const std::string& what, const std::vector<std::string>& choices);
// "S" or "N", as true or false.
bool requireFlag(const Variant& value, const std::string& what);

// A date without a time of day: "`what` deve ser uma data." otherwise.
DateTime requireDay(const Variant& value, const std::string& what);

// Characters of a UTF-8 text; npos when the bytes are not valid UTF-8.
size_t utf8Length(std::string_view text);

}  // namespace krv::server
