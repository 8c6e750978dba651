#include "server/access/LoginQueue.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace krv::server {

bool LoginSchedule::add(Pending pending) {
    if (waiting_ >= limits_.total) return false;
    Address& address = addresses_[pending.request.address];
    dropAbandoned(address);
    if (address.queue.size() >= limits_.perAddress) return false;
    // Dropping abandoned logins may have emptied a queue whose address still has its turn.
    if (std::find(turn_.begin(), turn_.end(), pending.request.address) == turn_.end())
        turn_.push_back(pending.request.address);
    address.queue.push_back(std::move(pending));
    ++waiting_;
    return true;
}

void LoginSchedule::dropAbandoned(Address& address) {
    const auto gone = [](const Pending& p) { return p.request.stillWanted && !p.request.stillWanted(); };
    const size_t before = address.queue.size();
    std::erase_if(address.queue, gone);
    waiting_ -= before - address.queue.size();
}

std::optional<LoginSchedule::Pending> LoginSchedule::take(Clock::time_point now) {
    for (auto it = turn_.begin(); it != turn_.end();) {
        const std::string name = *it;
        const auto found = addresses_.find(name);
        if (found == addresses_.end()) {
            it = turn_.erase(it);
            continue;
        }
        Address& address = found->second;
        dropAbandoned(address);
        if (address.queue.empty()) {
            it = turn_.erase(it);
            if (!address.checking) addresses_.erase(found);
            continue;
        }
        const rpc::LoginRequest& first = address.queue.front().request;
        if (address.checking || nextCheck_(first.operatorName, name, now) > now) {
            ++it;
            continue;
        }
        Pending pending = std::move(address.queue.front());
        address.queue.pop_front();
        --waiting_;
        address.checking = true;
        // Its next login, if any, waits for every other address's turn.
        turn_.erase(it);
        if (!address.queue.empty()) turn_.push_back(name);
        return pending;
    }
    return std::nullopt;
}

void LoginSchedule::finished(const std::string& name) {
    const auto found = addresses_.find(name);
    if (found == addresses_.end()) return;
    found->second.checking = false;
    if (found->second.queue.empty()) addresses_.erase(found);
}

std::optional<LoginSchedule::Clock::time_point> LoginSchedule::nextDue(Clock::time_point now) const {
    std::optional<Clock::time_point> due;
    for (const std::string& name : turn_) {
        const auto found = addresses_.find(name);
        if (found == addresses_.end()) continue;
        const Address& address = found->second;
        if (address.checking || address.queue.empty()) continue;
        const auto when = std::max(now, nextCheck_(address.queue.front().request.operatorName, name, now));
        if (!due || when < *due) due = when;
    }
    return due;
}

LoginQueue::LoginQueue(unsigned threads, LoginSchedule::Limits limits, LoginSchedule::NextCheck nextCheck, Check check)
    : check_(std::move(check)), schedule_(limits, std::move(nextCheck)) {
    for (unsigned i = 0; i < std::max(1u, threads); ++i)
        threads_.emplace_back([this] {
            // Below the servers' workers: a check takes its core for a tenth of a second, and
            // the calls of the sessions already in come first.
            ::setpriority(PRIO_PROCESS, ::gettid(), 10);
            run();
        });
}

LoginQueue::~LoginQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void LoginQueue::submit(rpc::LoginRequest request, rpc::LoginReply reply) {
    bool queued;
    {
        std::lock_guard lock(mutex_);
        queued = schedule_.add({std::move(request), reply});
    }
    if (!queued) return reply(rpc::LoginAnswer{false});
    changed_.notify_one();
}

void LoginQueue::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto now = LoginSchedule::Clock::now();
        std::optional<LoginSchedule::Pending> pending = schedule_.take(now);
        if (!pending) {
            if (const auto due = schedule_.nextDue(now))
                changed_.wait_until(lock, *due);
            else
                changed_.wait(lock);
            continue;
        }
        lock.unlock();
        // The client may have left while its login waited for this thread.
        const rpc::LoginRequest& request = pending->request;
        if (!request.stillWanted || request.stillWanted()) {
            // A check that fails (the database gone, say) refuses its login; the queue goes on.
            rpc::LoginAnswer answer;
            try {
                answer = check_(request);
            } catch (const std::exception&) {
                answer.accepted = false;
            }
            pending->reply(answer);
        }
        const std::string address = request.address;
        pending.reset();
        lock.lock();
        schedule_.finished(address);
        changed_.notify_all();
    }
}

}  // namespace krv::server
