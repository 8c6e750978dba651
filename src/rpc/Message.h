#pragma once
#include <cstdint>
#include <functional>
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
// The answer in parts (rpc/AnswerParts.h): the rows of each packet whose rows take more than
// `partBytes` leave the answer's frame and follow it in frames of about `partBytes`; `send`
// gets each frame in the order they go.
void responseInParts(int64_t id, const Outcome& outcome, size_t partBytes,
                     const std::function<void(std::string)>& send);
std::string authFrame(std::string_view token);
std::string authFrame(std::string_view operatorName, std::string_view password);
std::string authAnswerFrame(bool accepted);

// Read a decoded body; a body of the wrong shape throws EDecodeError saying what is wrong.
Request readRequest(Variant body);
Response readResponse(Variant body);
// What an auth frame presents: an operator's login, or the shared token alone.
struct AuthRequest {
    std::optional<std::string> token;  // ["auth", token]
    std::string operatorName;          // ["auth", operator, password]
    std::string password;
};
// The auth request when the body is ["auth", token] or ["auth", operator, password] with
// text in every place; nullopt for anything else, an auth frame of another shape included.
std::optional<AuthRequest> readAuth(const Variant& body);
// The answer when the body is ["auth", accepted].
std::optional<bool> readAuthAnswer(const Variant& body);

}  // namespace krv::rpc
