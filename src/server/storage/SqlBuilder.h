#pragma once
#include <algorithm>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/storage/Database.h"

namespace krv::server::db {

// A statement put together piece by piece, each piece with the parameters of its "?".
class Sql {
public:
    Sql& operator()(std::string_view text, std::initializer_list<Param> params = {}) {
        text_ += text;
        params_.insert(params_.end(), params.begin(), params.end());
        return *this;
    }
    Sql& operator()(std::string_view text, const Params& params) {
        text_ += text;
        params_.insert(params_.end(), params.begin(), params.end());
        return *this;
    }

    // "(?, ?, …)", one parameter per value. An empty list is no SQL: callers leave such a
    // statement out.
    template <class Range>
    Sql& in(const Range& values) {
        const char* separator = "(";
        for (const auto& value : values) {
            text_ += separator;
            text_ += '?';
            params_.emplace_back(value);
            separator = ", ";
        }
        text_ += ')';
        return *this;
    }

    // "(VALUES (?, ?), …)", for a test such as "(a, b) IN (VALUES …)".
    template <class Range>
    Sql& inPairs(const Range& pairs) {
        text_ += "(VALUES ";
        return rows(pairs, [](const auto& pair) { return Params{pair.first, pair.second}; })(")");
    }

    // "(?, ?), (?, ?), …": one tuple per item, `bind` giving its values.
    template <class Range, class Bind>
    Sql& rows(const Range& items, Bind bind) {
        const char* separator = "(";
        for (const auto& item : items) {
            const Params values = bind(item);
            text_ += separator;
            for (size_t i = 0; i < values.size(); ++i) text_ += i ? ", ?" : "?";
            text_ += ')';
            params_.insert(params_.end(), values.begin(), values.end());
            separator = ", (";
        }
        return *this;
    }

    const std::string& text() const { return text_; }
    const Params& params() const { return params_; }

private:
    std::string text_;
    Params params_;
};

// Statements bind at most this many values at once, far below every engine's limit.
inline constexpr size_t kChunk = 500;

// Calls `each` with consecutive slices of `values`, none longer than kChunk.
template <class T, class Each>
void inChunks(const std::vector<T>& values, Each each) {
    for (size_t from = 0; from < values.size(); from += kChunk)
        each(
            std::vector<T>(values.begin() + long(from), values.begin() + long(std::min(values.size(), from + kChunk))));
}

}  // namespace krv::server::db
