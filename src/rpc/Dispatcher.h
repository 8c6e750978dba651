#pragma once
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/Variant.h"

namespace krv::rpc {

// What a method expects at one argument position; checked before the method runs.
enum class ArgType { Any, String, Date, Number, Packet };

// Thrown by a method for a domain failure it wants the caller to see as its own
// outcome: the answer becomes ok = true, result = [false, message].
struct MethodFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Who is calling: the operator the connection logged in as, and where it comes from. A
// connection that presented the shared token, or one to a server without login, has no
// operator (empty): methods that take an operator argument refuse it.
struct Caller {
    std::string operatorName;
    std::string peer;  // "address:port", for messages
};

// A method receives the arguments by reference: what it leaves in them is sent back.
// It returns the payload of a successful outcome ([true, payload]).
using Method = std::function<Variant(std::vector<Variant>& args)>;
// A method that also needs to know who calls it (an operator argument, lists it owns).
using CallerMethod = std::function<Variant(const Caller& caller, std::vector<Variant>& args)>;

// How a method is run. The server runs writing methods, which may wait for the database's
// write lock, and reads that may answer megabytes off the threads that read requests, so
// that neither holds up the small calls of the other connections on that thread. While the
// answers' budget is spent, a large read is refused before it runs.
enum class Access { Reads, LargeReads, Writes };

struct Outcome {
    bool ok = false;  // false: the call itself failed; result is the error text
    Variant result;
    std::vector<Variant> args;  // arguments after the call
};

// Routes "object.method" to its handler. Thread-safe for dispatch once registration is done.
class Dispatcher {
public:
    // The last `optional` arguments of the signature may be left off by the caller: a method
    // that grew an argument still answers the callers written before it.
    void add(const std::string& object, const std::string& method, std::vector<ArgType> signature, Method fn,
             size_t optional = 0);
    void add(const std::string& object, const std::string& method, std::vector<ArgType> signature, CallerMethod fn,
             size_t optional = 0);
    void add(Access access, const std::string& object, const std::string& method, std::vector<ArgType> signature,
             Method fn, size_t optional = 0);
    void add(Access access, const std::string& object, const std::string& method, std::vector<ArgType> signature,
             CallerMethod fn, size_t optional = 0);
    // Reads for unknown methods: their refusal is as quick as a read.
    Access access(std::string_view object, std::string_view method) const;
    // Never throws: unknown object/method, wrong count or type and exceptions other than
    // MethodFailure give ok = false with a clear text.
    Outcome dispatch(const Caller& caller, const std::string& object, const std::string& method,
                     std::vector<Variant> args) const;

private:
    struct Entry {
        std::vector<ArgType> signature;
        CallerMethod fn;
        size_t optional = 0;
        Access access = Access::Reads;
    };
    std::map<std::string, Entry, std::less<>> methods_;
};

}  // namespace krv::rpc
