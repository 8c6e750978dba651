#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/Variant.h"
#include "rpc/Dispatcher.h"

namespace krv::rpc {

// The messages of the protocol (docs/protocol.md):
//   request  [1, id, object, method, [args…]]
//   response [id, ok, result, [args after the call…]]
//   auth     ["auth", operator, password] or ["auth", token], answered ["auth", true | false]
constexpr int64_t kRequestKind = 1;

struct Request {
    int64_t id = 0;
    std::string object;
    std::string method;
    std::vector<Variant> args;
};

struct Response {
    int64_t id = 0;
    bool ok = false;
    Variant result;  // a string when ok is false
    std::vector<Variant> args;
};

// Whole frames (header + body), ready to write.
std::string requestFrame(int64_t id, std::string_view object, std::string_view method,
                         const std::vector<Variant>& args);
std::string responseFrame(int64_t id, const Outcome& outcome);
std::string authFrame(std::string_view token);
std::string authFrame(std::string_view operatorName, std::string_view password);
std::string authAnswerFrame(bool accepted);

// Read a decoded body; a body of the wrong shape throws EDecodeError saying what is wrong.
Request readRequest(Variant body);
Response readResponse(Variant body);
// The token when the body is ["auth", token].
std::optional<std::string> readAuth(const Variant& body);
// The answer when the body is ["auth", accepted].
std::optional<bool> readAuthAnswer(const Variant& body);

}  // namespace krv::rpc
