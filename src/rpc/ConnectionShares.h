#pragma once
#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace krv::rpc {

// How a server's connection cap is shared. Connections that have not logged in yet get a
// smaller share of their own and a handful per address, so clients that never log in cannot
// hold the slots of those that do; the logged-in sessions keep the rest. Only counts: the
// caller closes what it is told to. Not thread-safe.
class ConnectionShares {
public:
    struct Limits {
        size_t total = 1000;
        size_t anonymous = 250;  // not yet logged in, every address together; 0: no login needed
        size_t anonymousPerAddress = 32;
    };
    enum class Verdict { Admitted, OverCap, AddressFull };
    struct Admission {
        Verdict verdict = Verdict::Admitted;
        // When the anonymous share was full: the connection that leaves for the new one, the
        // oldest of the address that holds the most (nullptr when none had to).
        const void* evicted = nullptr;
    };

    explicit ConnectionShares(Limits limits) : limits_(limits) {}

    // A new connection that must log in, from `address`.
    Admission admitAnonymous(const void* id, const std::string& address);
    // A new connection that needs no login (a server without one).
    Verdict admitLoggedIn(const void* id);
    // The connection logged in; false, leaving it anonymous, when the logged-in share is full.
    bool promote(const void* id);
    void remove(const void* id);

    size_t anonymous() const { return anonymousAddress_.size(); }
    size_t loggedIn() const { return loggedIn_.size(); }
    size_t loggedInShare() const { return limits_.total - limits_.anonymous; }
    const Limits& limits() const { return limits_; }

private:
    void forgetAnonymous(const void* id);

    const Limits limits_;
    std::map<std::string, std::deque<const void*>> anonymousByAddress_;  // oldest first
    std::unordered_map<const void*, std::string> anonymousAddress_;
    std::unordered_set<const void*> loggedIn_;
};

}  // namespace krv::rpc
