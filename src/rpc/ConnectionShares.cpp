#include "rpc/ConnectionShares.h"

#include <algorithm>

namespace krv::rpc {

ConnectionShares::Admission ConnectionShares::admitAnonymous(const void* id, const std::string& address) {
    auto& ofAddress = anonymousByAddress_[address];
    if (ofAddress.size() >= limits_.anonymousPerAddress) {
        if (ofAddress.empty()) anonymousByAddress_.erase(address);
        return {Verdict::AddressFull};
    }
    Admission admission;
    if (anonymousAddress_.size() >= limits_.anonymous) {
        // The busiest address pays, not the newcomer: one address renewing its connections
        // cannot push out the single connection of a user who is logging in.
        const auto busiest =
            std::max_element(anonymousByAddress_.begin(), anonymousByAddress_.end(),
                             [](const auto& a, const auto& b) { return a.second.size() < b.second.size(); });
        if (busiest == anonymousByAddress_.end() || busiest->second.empty()) return {Verdict::OverCap};
        admission.evicted = busiest->second.front();
        forgetAnonymous(admission.evicted);
    }
    anonymousByAddress_[address].push_back(id);
    anonymousAddress_[id] = address;
    return admission;
}

ConnectionShares::Verdict ConnectionShares::admitLoggedIn(const void* id) {
    if (loggedIn_.size() >= loggedInShare()) return Verdict::OverCap;
    loggedIn_.insert(id);
    return Verdict::Admitted;
}

bool ConnectionShares::promote(const void* id) {
    if (!anonymousAddress_.contains(id)) return loggedIn_.contains(id);
    if (loggedIn_.size() >= loggedInShare()) return false;
    forgetAnonymous(id);
    loggedIn_.insert(id);
    return true;
}

void ConnectionShares::remove(const void* id) {
    forgetAnonymous(id);
    loggedIn_.erase(id);
}

void ConnectionShares::forgetAnonymous(const void* id) {
    const auto found = anonymousAddress_.find(id);
    if (found == anonymousAddress_.end()) return;
    const auto ofAddress = anonymousByAddress_.find(found->second);
    auto& ids = ofAddress->second;
    ids.erase(std::find(ids.begin(), ids.end(), id));
    if (ids.empty()) anonymousByAddress_.erase(ofAddress);
    anonymousAddress_.erase(found);
}

}  // namespace krv::rpc
